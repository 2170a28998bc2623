#include "band_reader.h"

#include <unistd.h>

#include <cstring>
#include <new>

#include "codecs.h"
#include "file_access.h"
#include "image_file.h"

namespace imaging {

struct BandReader::State {
    std::string path;
    int fd = -1;
    std::unique_ptr<RowDecoder> decoder;  // PNG and TIFF read as asked
    Picture whole;                        // the others, loaded whole
    int32_t width = 0;
    int32_t height = 0;
    int32_t next = 0;
    std::string comment;

    ~State() {
        decoder.reset();
        if (fd >= 0) close(fd);
    }
};

BandReader::BandReader() = default;
BandReader::~BandReader() = default;

bool BandReader::IsOpen() const { return state_ != nullptr; }
int32_t BandReader::Width() const { return state_ ? state_->width : 0; }
int32_t BandReader::Height() const { return state_ ? state_->height : 0; }
int32_t BandReader::RowsRead() const { return state_ ? state_->next : 0; }

const std::string& BandReader::Comment() const {
    static const std::string none;
    return state_ ? state_->comment : none;
}

void BandReader::Close() { state_.reset(); }

std::string BandReader::Open(const std::string& path) {
    Close();
    if (!CanLoad(path)) return UnknownExtension(path);
    try {
        auto state = std::make_unique<State>();
        state->path = path;
        if (std::string error = ReadImageComment(path, state->comment); !error.empty()) return error;
        const SaveFormat format = SaveFormatOf(path);
        bool whole = format != SaveFormat::Png && format != SaveFormat::Tiff;
        if (!whole) {
            int64_t size = 0;
            std::string reason;
            state->fd = OpenRegularFile(path, size, reason);
            if (state->fd < 0) return path + ": cannot open: " + reason;
            std::string error;
            if (format == SaveFormat::Png) {
                state->decoder = OpenPngRows(state->fd, Options(), whole, error);
            } else {
                state->decoder = OpenTiffRows(state->fd, static_cast<uint64_t>(size), error);
            }
            if (!state->decoder && !whole) return path + ": " + error;
        }
        if (whole) {
            // Interlaced PNG, and the formats without rows to read alone.
            if (std::string error = LoadImageFile(path, state->whole); !error.empty()) return error;
            state->width = state->whole.Width();
            state->height = state->whole.Height();
        } else {
            state->width = state->decoder->Width();
            state->height = state->decoder->Height();
        }
        if (state->fd >= 0 && !state->decoder) {
            close(state->fd);
            state->fd = -1;
        }
        state_ = std::move(state);
    } catch (const std::bad_alloc&) {
        return path + ": out of memory";
    }
    return "";
}

std::string BandReader::ReadRows(uint8_t* rgb, int32_t rows) {
    if (!state_) return "no picture file is being read";
    State& s = *state_;
    if (rows < 0 || rows > s.height - s.next) {
        return s.path + ": " + std::to_string(rows) + " rows asked for where " + std::to_string(s.height - s.next) +
               " are left";
    }
    if (rows == 0) return "";
    std::string error;
    try {
        if (s.decoder) {
            error = s.decoder->Rows(rgb, rows);
        } else {
            std::memcpy(rgb, s.whole.Row(s.next), size_t{3} * static_cast<uint32_t>(s.width) * static_cast<uint32_t>(rows));
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!error.empty()) {
        error = s.path + ": " + error;
        Close();
        return error;
    }
    s.next += rows;
    return "";
}

std::string BandReader::ReadBand(int32_t rows, Picture& band) {
    if (!state_) return "no picture file is being read";
    const int32_t count = std::min(std::max(rows, 0), state_->height - state_->next);
    if (count == 0) {
        band = Picture();
        return "";
    }
    Picture made;
    try {
        if (!Picture::SizeAllowed(state_->width, count)) {
            return state_->path + ": a band of " + SizeText(state_->width, count) + " pixels is too large";
        }
        made = Picture(state_->width, count);
    } catch (const std::bad_alloc&) {
        return state_->path + ": out of memory";
    }
    if (std::string error = ReadRows(made.Row(0), count); !error.empty()) return error;
    band = std::move(made);
    return "";
}

}  // namespace imaging
