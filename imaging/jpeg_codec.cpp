// JPEG through libjpeg(-turbo). Its error exit is replaced by one that
// records the message and longjmps back to the single setjmp of each
// direction; the C++ objects in use belong to a state record that the
// caller owns, so the jump skips no destructor.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "codecs.h"

namespace imaging {

namespace {

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer is ours too
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 40];
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    if (cinfo->is_decompressor) {
        const bool unsupported = std::strncmp(text, "Unsupported", 11) == 0;
        std::snprintf(errors->message, sizeof errors->message, "%s JPEG file: %s",
                      unsupported ? "unsupported" : "damaged", text);
    } else {
        std::snprintf(errors->message, sizeof errors->message, "%s", text);
    }
    std::longjmp(errors->jump, 1);
}

// Warnings are dropped, except that data ending early, at the end of the
// file or at a marker, counts as a damaged file: libjpeg would fill the
// rest of the picture with grey.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER)) {
        OnError(cinfo);
    }
}

// Whether `size` bytes can hold the picture at all. Huffman-coded
// sequential data takes two bits a block at least (a DC code and an end of
// block); progressive and arithmetic coding can take less, and are not
// judged.
bool LargeEnough(const jpeg_decompress_struct& cinfo, size_t size) {
    if (cinfo.progressive_mode || cinfo.arith_code) return true;
    uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        blocks += uint64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
    }
    return uint64_t{size} * 8 >= 2 * blocks;
}

void OnOutput(j_common_ptr) {}

void InstallErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = OnMessage;
    errors.manager.output_message = OnOutput;
    errors.message[0] = '\0';
}

J_DCT_METHOD DctMethod(uint8_t code) {
    switch (code) {
        case 1: return JDCT_IFAST;
        case 2: return JDCT_FLOAT;
        default: return JDCT_ISLOW;  // 0, and libjpeg's own default for codes it does not know
    }
}

struct ReadState {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    Picture picture;
    std::vector<uint8_t> row;
    ImageInfo info;
};

struct WriteState {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    unsigned char* buffer = nullptr;  // malloc'd by libjpeg's memory destination
    unsigned long length = 0;
};

const char* ColourSpaceName(J_COLOR_SPACE space) {
    switch (space) {
        case JCS_GRAYSCALE: return "grey";
        case JCS_RGB: return "RGB";
        case JCS_YCbCr: return "YCbCr";
        case JCS_CMYK: return "CMYK";
        case JCS_YCCK: return "YCCK";
        default: return "unknown colour space";
    }
}

bool RunDecode(ReadState* s, const uint8_t* data, size_t size, uint8_t method) {
    if (setjmp(s->errors.jump)) return false;
    jpeg_create_decompress(&s->cinfo);
    // Larger working memory (progressive coefficient buffers) is refused.
    s->cinfo.mem->max_memory_to_use = static_cast<long>(LibraryMemoryLimit());
    jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s->cinfo, TRUE);
    jpeg_decompress_struct& cinfo = s->cinfo;
    if (!SizeReadable(cinfo.image_width, cinfo.image_height)) {
        std::snprintf(s->errors.message, sizeof s->errors.message,
                      "the picture size %u by %u is larger than this program accepts", cinfo.image_width,
                      cinfo.image_height);
        return false;
    }
    if (!LargeEnough(cinfo, size)) {
        std::snprintf(s->errors.message, sizeof s->errors.message,
                      "damaged JPEG file: %zu bytes cannot hold a %u by %u picture", size, cinfo.image_width,
                      cinfo.image_height);
        return false;
    }
    const J_COLOR_SPACE stored = cinfo.jpeg_color_space;
    cinfo.out_color_space = stored == JCS_GRAYSCALE                    ? JCS_GRAYSCALE
                            : stored == JCS_CMYK || stored == JCS_YCCK ? JCS_CMYK
                                                                       : JCS_RGB;
    cinfo.dct_method = DctMethod(method);
    jpeg_start_decompress(&cinfo);
    const int components = cinfo.output_components;
    if (components != 1 && components != 3 && components != 4) {
        std::snprintf(s->errors.message, sizeof s->errors.message, "%d colour components", components);
        return false;
    }
    // The picture and the line buffer are assigned, not declared, here.
    s->picture = Picture(static_cast<int32_t>(cinfo.output_width), static_cast<int32_t>(cinfo.output_height));
    s->row.resize(size_t{cinfo.output_width} * components);
    // Adobe's CMYK files store the inks inverted.
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW line = s->row.data();
        const JDIMENSION y = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, &line, 1) != 1) {
            std::snprintf(s->errors.message, sizeof s->errors.message, "no data for line %u", y + 1);
            return false;
        }
        uint8_t* out = s->picture.Row(static_cast<int32_t>(y));
        const uint8_t* in = s->row.data();
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x, out += 3, in += components) {
            if (components == 1) {
                out[0] = out[1] = out[2] = in[0];
            } else if (components == 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            } else {
                const unsigned k = inverted ? in[3] : 255u - in[3];
                for (int c = 0; c < 3; ++c) {
                    const unsigned ink = inverted ? in[c] : 255u - in[c];
                    out[c] = static_cast<uint8_t>((ink * k + 127) / 255);
                }
            }
        }
    }
    jpeg_finish_decompress(&cinfo);

    s->info.Type = "JPEG";
    s->info.SubType = std::string(ColourSpaceName(stored)) + ", " + std::to_string(cinfo.num_components) +
                      (cinfo.num_components == 1 ? " component" : " components");
    s->info.Options = cinfo.progressive_mode ? "progressive" : "baseline";
    if (stored == JCS_CMYK || stored == JCS_YCCK) s->info.Options += inverted ? ", Adobe inverted" : "";
    s->info.Colors = cinfo.num_components == 1 ? 256 : 16777216;
    s->info.BitsPerPixel = 8 * cinfo.num_components;
    return true;
}

bool RunEncode(WriteState* s, const Picture& picture, const ImageFileOptions& options, const std::string& comment) {
    if (setjmp(s->errors.jump)) return false;
    jpeg_create_compress(&s->cinfo);
    jpeg_compress_struct& cinfo = s->cinfo;
    jpeg_mem_dest(&cinfo, &s->buffer, &s->length);
    cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
    cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    // The quality goes as typed: libjpeg itself takes 0 as 1 and caps at 100.
    jpeg_set_quality(&cinfo, options.JpegQuality, TRUE);
    // From quality 90 up the colour keeps every pixel (4:4:4): halving it
    // costs more than the quality gains.
    if (options.JpegQuality >= 90) {
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
    }
    cinfo.dct_method = DctMethod(options.JpegWriteMethod);
    if (options.JpegProgressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!comment.empty()) {
        // One marker holds at most 65533 bytes.
        const size_t length = std::min<size_t>(comment.size(), 65533);
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                          static_cast<unsigned int>(length));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW line = const_cast<JSAMPROW>(picture.Row(static_cast<int32_t>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &line, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

// Feeds libjpeg a source's bytes a block at a time, so that reading the
// header reads no further into the file than the header goes.
struct SourceReader {
    jpeg_source_mgr manager;  // first, so libjpeg's pointer is ours too
    ByteSource* source = nullptr;
    uint64_t next = 0;  // the source's next byte to read
    JOCTET block[16384];
    JOCTET end[2] = {0xFF, JPEG_EOI};
};

void InitSource(j_decompress_ptr) {}

boolean FillBuffer(j_decompress_ptr cinfo) {
    auto* reader = reinterpret_cast<SourceReader*>(cinfo->src);
    const size_t got = reader->source->Read(reader->next, reader->block, sizeof reader->block);
    reader->next += got;
    if (got == 0) {
        // As libjpeg's own sources: an end marker, and the warning that
        // OnMessage takes for a damaged file.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        reader->manager.next_input_byte = reader->end;
        reader->manager.bytes_in_buffer = 2;
        return TRUE;
    }
    reader->manager.next_input_byte = reader->block;
    reader->manager.bytes_in_buffer = got;
    return TRUE;
}

void SkipData(j_decompress_ptr cinfo, long count) {
    auto* reader = reinterpret_cast<SourceReader*>(cinfo->src);
    if (count <= 0) return;
    const size_t skip = static_cast<size_t>(count);
    if (skip <= reader->manager.bytes_in_buffer) {
        reader->manager.next_input_byte += skip;
        reader->manager.bytes_in_buffer -= skip;
        return;
    }
    reader->next += skip - reader->manager.bytes_in_buffer;
    reader->manager.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr) {}

// Reads the header only, keeping the first COM marker's text.
bool ReadHeaderComment(ReadState* s, SourceReader* reader, std::string& comment) {
    if (setjmp(s->errors.jump)) return false;
    jpeg_create_decompress(&s->cinfo);
    s->cinfo.mem->max_memory_to_use = static_cast<long>(LibraryMemoryLimit());
    jpeg_save_markers(&s->cinfo, JPEG_COM, 0xFFFF);
    reader->manager.init_source = InitSource;
    reader->manager.fill_input_buffer = FillBuffer;
    reader->manager.skip_input_data = SkipData;
    reader->manager.resync_to_restart = jpeg_resync_to_restart;
    reader->manager.term_source = TermSource;
    reader->manager.bytes_in_buffer = 0;
    reader->manager.next_input_byte = nullptr;
    s->cinfo.src = &reader->manager;
    jpeg_read_header(&s->cinfo, TRUE);
    for (jpeg_saved_marker_ptr m = s->cinfo.marker_list; m != nullptr; m = m->next) {
        if (m->marker == JPEG_COM) {
            comment.assign(reinterpret_cast<const char*>(m->data), m->data_length);
            break;
        }
    }
    return true;
}

}  // namespace

std::string DecodeJpeg(const uint8_t* data, size_t size, const ImageFileOptions& options, Picture& picture,
                       ImageInfo& info) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) return "not a JPEG file (no SOI marker)";
    auto state = std::make_unique<ReadState>();
    std::memset(&state->cinfo, 0, sizeof state->cinfo);
    InstallErrors(state->errors);
    state->cinfo.err = &state->errors.manager;
    bool ok = false;
    try {
        ok = RunDecode(state.get(), data, size, options.JpegReadMethod);
    } catch (const std::bad_alloc&) {
        std::snprintf(state->errors.message, sizeof state->errors.message, "out of memory");
    }
    jpeg_destroy_decompress(&state->cinfo);
    if (!ok) return state->errors.message;
    picture = std::move(state->picture);
    info = std::move(state->info);
    return "";
}

std::string ReadJpegComment(ByteSource& source, std::string& comment) {
    uint8_t start[3] = {};
    if (!source.ReadExactly(0, start, 3) || start[0] != 0xFF || start[1] != 0xD8 || start[2] != 0xFF) {
        if (!source.Error().empty()) return "cannot read: " + source.Error();
        return "not a JPEG file (no SOI marker)";
    }
    auto state = std::make_unique<ReadState>();
    auto reader = std::make_unique<SourceReader>();
    reader->source = &source;
    std::memset(&state->cinfo, 0, sizeof state->cinfo);
    InstallErrors(state->errors);
    state->cinfo.err = &state->errors.manager;
    std::string found;
    bool ok = false;
    try {
        ok = ReadHeaderComment(state.get(), reader.get(), found);
    } catch (const std::bad_alloc&) {
        std::snprintf(state->errors.message, sizeof state->errors.message, "out of memory");
    }
    jpeg_destroy_decompress(&state->cinfo);
    if (!source.Error().empty()) return "cannot read: " + source.Error();
    if (!ok) return state->errors.message;
    comment = std::move(found);
    return "";
}

std::string EncodeJpeg(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                       const std::string& comment) {
    auto state = std::make_unique<WriteState>();
    std::memset(&state->cinfo, 0, sizeof state->cinfo);
    InstallErrors(state->errors);
    state->cinfo.err = &state->errors.manager;
    const bool ok = RunEncode(state.get(), picture, options, comment);
    jpeg_destroy_compress(&state->cinfo);
    std::string error = ok ? "" : state->errors.message;
    if (ok && !out.Put(state->buffer, state->length)) error = kSinkRefused;
    std::free(state->buffer);
    return error;
}

}  // namespace imaging
