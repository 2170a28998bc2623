// The process-wide options of the image readers and writers, with their
// codes and defaults. The "Options" dialog edits this one record.
//
// How the codecs use them:
// - JPEG: the DCT method codes go to libjpeg (a code it does not know means
//   its default, integer precise). The quality goes to jpeg_set_quality as
//   typed; libjpeg itself takes 0 as 1 and values above 100 as 100. From
//   quality 90 up the colour is not subsampled (4:4:4), below it is halved
//   both ways (4:2:0).
// - PBM/PGM/PPM: binary writes P4/P5/P6, else P1/P2/P3 with lines of at most
//   70 characters. PGM holds the Rec. 601 luma of each pixel, PBM black where
//   that luma is below 128.
// - TIFF: compression 32773 writes PackBits, any other code uncompressed
//   strips. A picture whose pixels are all grey is written as an 8-bit grey
//   scale with the grey-scale option, any other in RGB or CMYK. A resolution
//   with a numerator or denominator that is not positive takes the other
//   direction's; with neither usable none is written. Unknown unit codes
//   mean inch.
// - PNG: the picture is taken to be made for a screen of gamma ScreenGamma,
//   so with WriteGamma the gAMA chunk holds 1 / ScreenGamma. On reading with
//   GammaCorrectionOnRead, a file that has a gAMA chunk is corrected from its
//   gamma to ScreenGamma (png_set_gamma); a file without one is taken as it
//   is, whatever sRGB or iCCP chunk it has. Our own files therefore read back unchanged. A ScreenGamma outside
//   0.1 to 10 writes no chunk and corrects nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace imaging {

struct ImageFileOptions {
    uint8_t JpegWriteMethod = 2;       // DCT method: 0 integer precise, 1 integer fast, 2 floating point
    uint8_t JpegQuality = 80;          // as typed, kept in 8 bits; values above 100 go to libjpeg as they are
    bool JpegProgressive = false;
    uint8_t JpegReadMethod = 0;        // as JpegWriteMethod
    bool PnmBinary = false;            // PBM/PGM/PPM: false writes ASCII
    int32_t TiffCompression = 1;       // 1 none, 32773 PackBits
    uint8_t TiffTrueColour = 0;        // 0 RGB, 1 CMYK
    uint8_t TiffGreyScale = 0;         // 0 BlackIsZero, 1 WhiteIsZero
    uint8_t TiffByteOrder = 0;         // 0 "I" little-endian, 1 "M" big-endian
    uint8_t TiffResolutionUnit = 1;    // 0 no unit, 1 inch, 2 centimetre
    int32_t TiffResHorizN = 300;
    int32_t TiffResHorizD = 1;
    int32_t TiffResVertN = 300;
    int32_t TiffResVertD = 1;
    bool WriteGamma = true;            // PNG: write a gAMA chunk
    double ScreenGamma = 1.8;
    bool GammaCorrectionOnRead = true; // PNG: correct for the screen gamma on reading

    bool operator==(const ImageFileOptions&) const = default;
};

// The one record every reader and writer consults.
ImageFileOptions& Options();

// The fields by name, as the command line sets them (--option NAME=VALUE).
// The names are the fields' own; they and the values' words are matched
// without regard to case.
struct ImageOptionHelp {
    std::string Name;      // e.g. "JpegQuality"
    std::string Default;   // the value of a new record, e.g. "80"
    std::string Meaning;   // what it sets and the values it takes
};
std::vector<ImageOptionHelp> ImageOptionList();

// Sets the field called `name` from `value`. Returns "" on success, else
// one line naming the option and what is wrong; `options` is then unchanged.
[[nodiscard]] std::string SetImageOption(ImageFileOptions& options, std::string_view name, std::string_view value);

}  // namespace imaging
