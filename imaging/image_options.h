// The process-wide options of the image readers and writers, with their
// codes and defaults. The "Options" dialog edits this one record.
#pragma once

#include <cstdint>

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

}  // namespace imaging
