// PNG through libpng. libpng reports errors by calling our handler, which
// records the text and longjmps back into the one function per direction
// that holds the setjmp; every C++ object those functions use lives in a
// state record owned by their caller, so no destructor is ever skipped.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "codecs.h"

namespace imaging {

namespace {

struct PngState {
    char message[200] = "";
    // Reading
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool correctGamma = false;
    double screenGamma = 1.0;
    Picture picture;
    std::vector<png_bytep> rows;
    ImageInfo info;
    // Writing
    const Picture* source = nullptr;
    std::vector<uint8_t>* out = nullptr;
    double fileGamma = 0.0;  // 0 writes no gAMA chunk
};

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message ? message : "unknown libpng error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep target, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (count > state->size - state->pos) png_error(png, "truncated: the file ends inside the PNG data");
    std::memcpy(target, state->data + state->pos, count);
    state->pos += count;
}

void WriteBytes(png_structp png, png_bytep source, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        state->out->insert(state->out->end(), source, source + count);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed) png_error(png, "out of memory");
}

void FlushBytes(png_structp) {}

const char* ColourTypeName(int type) {
    switch (type) {
        case PNG_COLOR_TYPE_GRAY: return "grey";
        case PNG_COLOR_TYPE_GRAY_ALPHA: return "grey with alpha";
        case PNG_COLOR_TYPE_PALETTE: return "palette";
        case PNG_COLOR_TYPE_RGB: return "RGB";
        case PNG_COLOR_TYPE_RGB_ALPHA: return "RGB with alpha";
        default: return "unknown colour type";
    }
}

// Returns false with state->message set when libpng or the checks refuse the file.
bool RunRead(png_structp png, png_infop info, PngState* state) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, state, ReadBytes);
    png_set_user_limits(png, Picture::kMaxSide, Picture::kMaxSide);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    const int interlace = png_get_interlace_type(png, info);
    if (!SizeReadable(width, height)) {
        char refusal[120];
        std::snprintf(refusal, sizeof refusal, "the picture size %lu by %lu is larger than this program accepts",
                      static_cast<unsigned long>(width), static_cast<unsigned long>(height));
        png_error(png, refusal);
    }

    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    double fileGamma = 0.0;
    if (state->correctGamma && png_get_gAMA(png, info, &fileGamma) && fileGamma > 0.0) {
        png_set_gamma(png, state->screenGamma, fileGamma);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 3) png_error(png, "unexpected row layout after conversion");

    state->picture = Picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
    state->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) state->rows[y] = state->picture.Row(static_cast<int32_t>(y));
    png_read_image(png, state->rows.data());
    png_read_end(png, nullptr);

    const int channels = type == PNG_COLOR_TYPE_GRAY ? 1 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                       : type == PNG_COLOR_TYPE_PALETTE ? 1 : type == PNG_COLOR_TYPE_RGB ? 3 : 4;
    const int colourBits = depth * (type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA ? 3 : 1);
    state->info.Type = "PNG";
    state->info.SubType = std::string(ColourTypeName(type)) + ", " + std::to_string(depth) +
                          (depth == 1 ? " bit per sample" : " bits per sample");
    state->info.Options = interlace == PNG_INTERLACE_ADAM7 ? "interlaced" : "";
    png_colorp palette = nullptr;
    int entries = 0;
    if (type == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &entries)) {
        state->info.Colors = entries;
    } else {
        state->info.Colors = int64_t{1} << colourBits;
    }
    state->info.BitsPerPixel = depth * channels;
    return true;
}

bool RunWrite(png_structp png, png_infop info, PngState* state) {
    if (setjmp(png_jmpbuf(png))) return false;
    const Picture& picture = *state->source;
    png_set_write_fn(png, state, WriteBytes, FlushBytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()), static_cast<png_uint_32>(picture.Height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (state->fileGamma > 0.0) png_set_gAMA(png, info, state->fileGamma);
    png_write_info(png, info);
    for (int32_t y = 0; y < picture.Height(); ++y) {
        png_write_row(png, const_cast<png_bytep>(picture.Row(y)));
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool UsableScreenGamma(double gamma) { return std::isfinite(gamma) && gamma >= 0.1 && gamma <= 10.0; }

std::string DecodePng(const uint8_t* data, size_t size, const ImageFileOptions& options, Picture& picture,
                      ImageInfo& info) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return "not a PNG file (no PNG signature)";
    PngState state;
    state.data = data;
    state.size = size;
    state.correctGamma = options.GammaCorrectionOnRead && UsableScreenGamma(options.ScreenGamma);
    state.screenGamma = options.ScreenGamma;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png) return "out of memory";
    png_infop pngInfo = png_create_info_struct(png);
    bool ok = false;
    if (pngInfo) {
        try {
            ok = RunRead(png, pngInfo, &state);
        } catch (const std::bad_alloc&) {
            std::snprintf(state.message, sizeof state.message, "out of memory");
        }
    } else {
        std::snprintf(state.message, sizeof state.message, "out of memory");
    }
    png_destroy_read_struct(&png, pngInfo ? &pngInfo : nullptr, nullptr);
    if (!ok) return state.message;
    picture = std::move(state.picture);
    info = std::move(state.info);
    return "";
}

std::string EncodePng(const Picture& picture, const ImageFileOptions& options, std::vector<uint8_t>& out) {
    PngState state;
    state.source = &picture;
    state.out = &out;
    if (options.WriteGamma && UsableScreenGamma(options.ScreenGamma)) state.fileGamma = 1.0 / options.ScreenGamma;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png) return "out of memory";
    png_infop pngInfo = png_create_info_struct(png);
    const bool ok = pngInfo && RunWrite(png, pngInfo, &state);
    if (!pngInfo) std::snprintf(state.message, sizeof state.message, "out of memory");
    png_destroy_write_struct(&png, pngInfo ? &pngInfo : nullptr);
    return ok ? "" : state.message;
}

}  // namespace imaging
