// The 39-line parameter file (.vtx) that records the settings behind a picture.
#pragma once

#include <cstdint>
#include <string>

#include "iteration_context.h"
#include "messages.h"

namespace params {

// The reader's own storage for the two name lines; FormulaName and
// RenderName point into it after a load.
struct NameBuffers {
    char FormulaNameBuffer[100] = {};
    char RenderNameBuffer[100] = {};
};

// The fields of the generation state that loading touches besides the record.
struct LoadTarget {
    TIterationContext& ctx;
    int32_t& ParamsValid;
    int32_t& LastFormulaNo;
    NameBuffers& names;
};

enum class LoadOutcome {
    Loaded,       // every line read (some may have been missing: defaults used)
    ReadError,    // "Error reading parameter file": values stored so far kept
    CannotOpen,   // the file could not be opened or read: nothing changed
};

// Reads the file at `path` into the settings, with every message of the
// format ("Missing variable in parameter file: ...", "blending .gt. 26,
// setting 1", "Error reading parameter file") shown through `messages`.
// `decimalMark` 0 means the user's locale decides.
LoadOutcome LoadParameters(const std::string& path, LoadTarget target, engine::MessageSink& messages,
                           char decimalMark = 0);

// The parameter file beside an image: same folder, the last three
// characters of the file name replaced by "vtx" (pic.bmp -> pic.vtx).
std::string ParameterFilePathFor(const std::string& imagePath);

// Writes the 39 lines (CR LF) to `path` through a temporary file in the same
// folder, renamed into place. Returns "" on success, else the reason.
std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                               char decimalMark = 0);

// Reals as the file writes them: at most 15 significant digits, general
// format (1E-20, 1.5E20, 5E-5, 0.0005), with `decimalMark`.
std::string FormatReal(double value, char decimalMark);

// "." or "," as the user's locale writes numbers.
char LocaleDecimalMark();

}  // namespace params
