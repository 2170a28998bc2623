#include "band_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "codecs.h"
#include "file_access.h"
#include "image_file.h"

namespace imaging {

struct BandWriter::State {
    std::string path;
    SaveFormat format = SaveFormat::None;
    int32_t width = 0;
    int32_t height = 0;
    int32_t next = 0;
    std::string comment;
    ImageFileOptions options;
    uint64_t bigTiffAbove = 0;
    FileReplacement file;
    std::unique_ptr<FileSink> sink;        // PNG and the formats written whole
    std::unique_ptr<RowEncoder> encoder;   // PNG and TIFF
    bool tiffGreyKnown = false;            // the first band was the whole picture
    bool greySoFar = true;                 // every TIFF row so far was grey
    Picture whole;                         // the other formats

    // The file's error, if the sink or the file refused the bytes, else the
    // encoder's; named.
    std::string Named(const std::string& error) const {
        if (sink && !sink->Error().empty()) return path + ": cannot save: " + sink->Error();
        return path + ": " + error;
    }
};

BandWriter::BandWriter() = default;

BandWriter::~BandWriter() { Abandon(); }

bool BandWriter::Streams(const std::string& path) {
    const SaveFormat format = SaveFormatOf(path);
    return format == SaveFormat::Png || format == SaveFormat::Tiff;
}

void BandWriter::SetBigTiffAbove(uint64_t bytes) { bigTiffAbove_ = bytes; }

bool BandWriter::IsOpen() const { return state_ != nullptr; }
int32_t BandWriter::Width() const { return state_ ? state_->width : 0; }
int32_t BandWriter::Height() const { return state_ ? state_->height : 0; }
int32_t BandWriter::RowsWritten() const { return state_ ? state_->next : 0; }

void BandWriter::Abandon() {
    // The replacement removes its temporary file as it goes.
    state_.reset();
}

std::string BandWriter::Open(const std::string& path, int32_t width, int32_t height, const std::string& comment,
                             const ImageFileOptions& options) {
    Abandon();
    const SaveFormat format = SaveFormatOf(path);
    if (format == SaveFormat::None) return UnknownExtension(path);
    if (width <= 0 || height <= 0) return path + ": the picture size " + SizeText(width, height) + " is empty or negative";
    if (width > kMaxSide || height > kMaxSide) {
        return path + ": the picture size " + SizeText(width, height) + " is larger than this program accepts";
    }
    const bool streams = format == SaveFormat::Png || format == SaveFormat::Tiff;
    if (!streams && !Picture::SizeAllowed(width, height)) {
        return path + ": a " + SizeText(width, height) + " picture this large can be saved as PNG or TIFF only";
    }
    try {
        auto state = std::make_unique<State>();
        state->path = path;
        state->format = format;
        state->width = width;
        state->height = height;
        state->comment = comment;
        state->options = options;
        state->bigTiffAbove = bigTiffAbove_;
        if (std::string error = state->file.Begin(path); !error.empty()) return path + ": cannot save: " + error;
        if (format != SaveFormat::Tiff) state->sink = std::make_unique<FileSink>(state->file.Descriptor());
        if (format == SaveFormat::Png) {
            std::string error;
            state->encoder = MakePngEncoder(*state->sink, width, height, options, comment, error);
            if (!state->encoder) return state->Named(error);
        } else if (!streams) {
            state->whole = Picture(width, height);
        }
        state_ = std::move(state);
    } catch (const std::bad_alloc&) {
        return path + ": out of memory";
    }
    return "";
}

std::string BandWriter::WriteBand(const Picture& band) {
    if (state_ && !band.Empty() && band.Width() != state_->width) {
        const std::string error = state_->path + ": a band " + std::to_string(band.Width()) +
                                  " pixels wide given for a picture " + std::to_string(state_->width) + " wide";
        Abandon();
        return error;
    }
    if (band.Empty()) return state_ ? "" : "no picture file is being written";
    return WriteRows(band.Row(0), band.Height());
}

std::string BandWriter::WriteRows(const uint8_t* rgb, int32_t rows) {
    if (!state_) return "no picture file is being written";
    State& s = *state_;
    if (rows < 0 || rows > s.height - s.next) {
        const std::string error = s.path + ": " + std::to_string(rows) + " rows given where " +
                                  std::to_string(s.height - s.next) + " are left";
        Abandon();
        return error;
    }
    if (rows == 0) return "";
    const size_t pixels = size_t{static_cast<uint32_t>(s.width)} * static_cast<uint32_t>(rows);
    std::string error;
    try {
        if (s.format == SaveFormat::Tiff) {
            if (!s.encoder) {
                // Whether the picture is grey is known when the first band is all of it.
                TiffLayout layout;
                layout.bigTiffAbove = s.bigTiffAbove;
                s.tiffGreyKnown = rows == s.height;
                layout.grey = s.tiffGreyKnown && RowsAreGrey(rgb, pixels);
                TiffTarget target;
                target.fd = s.file.Descriptor();
                s.encoder = MakeTiffEncoder(target, s.width, s.height, s.options, s.comment, layout, error);
            }
            if (!s.tiffGreyKnown && s.greySoFar) s.greySoFar = RowsAreGrey(rgb, pixels);
        }
        if (s.encoder) {
            error = s.encoder->Rows(rgb, rows);
        } else if (error.empty()) {
            std::memcpy(s.whole.Row(s.next), rgb, pixels * 3);
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!error.empty()) {
        error = s.Named(error);
        Abandon();
        return error;
    }
    s.next += rows;
    return "";
}

std::string BandWriter::Finish() {
    if (!state_) return "no picture file is being written";
    State& s = *state_;
    std::string error;
    if (s.next != s.height) {
        error = s.path + ": only " + std::to_string(s.next) + " of its " + std::to_string(s.height) +
                " rows were given";
        Abandon();
        return error;
    }
    try {
        if (s.encoder) {
            error = s.encoder->Finish();
            s.encoder.reset();
        } else {
            error = EncodeAs(s.whole, s.format, s.options, *s.sink, s.comment);
        }
        if (error.empty() && s.format == SaveFormat::Tiff && !s.tiffGreyKnown && s.greySoFar) {
            // Every row proved grey: the colour file becomes a grey one.
            std::string reason;
            const int colour = s.file.Restart(reason);
            if (colour < 0) {
                error = "cannot save: " + reason;
            } else {
                TiffLayout layout;
                layout.grey = true;
                layout.bigTiffAbove = s.bigTiffAbove;
                TiffTarget target;
                target.fd = s.file.Descriptor();
                std::unique_ptr<RowEncoder> grey =
                    MakeTiffEncoder(target, s.width, s.height, s.options, s.comment, layout, error);
                if (grey) error = CopyTiffRows(colour, s.width, s.height, *grey);
                if (grey && error.empty()) error = grey->Finish();
                close(colour);
            }
        }
        if (error.empty() && s.sink && !s.sink->Flush()) error = kSinkRefused;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!error.empty()) {
        error = s.Named(error);
        Abandon();
        return error;
    }
    if (std::string failure = s.file.Commit(); !failure.empty()) error = s.path + ": cannot save: " + failure;
    state_.reset();
    return error;
}

}  // namespace imaging
