// The 39-line parameter file (.vtx) that records the settings behind a picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "exact_view.h"
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
    bool& ParamsValid;
    int32_t& LastFormulaNo;
    NameBuffers& names;
    // Where given: the view's exact texts, and the samples per pixel a file
    // names (1 where it names none).
    engine::ExactView* view = nullptr;
    int32_t* samples = nullptr;
};

enum class LoadOutcome {
    Loaded,       // every line read (some may have been missing: defaults used)
    ReadError,    // "Error reading parameter file": values stored so far kept
    CannotOpen,   // the file could not be opened or read: nothing changed
    Refused,      // a view that is not a finite number: one message, nothing changed
};

// Lines after the 39 are extension lines "Name=Value" ("." as decimal mark
// whatever the locale), which a reader of 39 lines never reads:
// CenterX, CenterY, Magnification, JuliaX and JuliaY carry the view's exact
// decimal texts, written only where the value line's 15 significant digits
// do not hold the value exactly; Samples=N (N by N samples per pixel) is
// written only for N > 1. The reader ignores unknown names and malformed
// lines, and a view text whose 15 digits are not what its value line says
// (the line was edited since): the value line then rules.

// Reads the file at `path` into the settings, with every message of the
// format ("Missing variable in parameter file: ...", "blending .gt. 26,
// setting 1", "Error reading parameter file") shown through `messages`.
// An empty or missing value line keeps its field's value (lines 2 to 20)
// or takes the reader's default (lines 21 to 39), and the lines after it
// are read in step; one message for the whole file names the lines. A view
// line (8, 9, 11, 31, 32) holding NaN or an infinity refuses the file with
// "Not a finite number in parameter file: <path> (line N, <what>: <text>)".
// `decimalMark` 0 means the user's locale decides; either mark is accepted
// in the file whatever it says. A file that cannot be opened or read gives
// "Cannot open parameter file: <path> (<reason>)" and changes nothing, not
// even ParamsValid; so does anything but a regular file, refused without
// waiting on it (a named pipe).
LoadOutcome LoadParameters(const std::string& path, LoadTarget target, engine::MessageSink& messages,
                           char decimalMark = 0);

// The same reading rules applied to the file's contents already in memory;
// `displayPath` is the path the messages name. Never returns CannotOpen.
LoadOutcome LoadParametersFromText(std::string_view text, const std::string& displayPath,
                                   LoadTarget target, engine::MessageSink& messages,
                                   char decimalMark = 0);

// The parameter file beside an image: same folder, the last three
// characters of the file name replaced by "vtx" (pic.bmp -> pic.vtx).
std::string ParameterFilePathFor(const std::string& imagePath);

// Writes the 39 lines (CR LF) and the extension lines to `path` as
// imaging::ReplaceFileContents writes files: through symbolic links, never
// over a read-only file, keeping owner and mode, leaving the old file whole
// on failure. Returns "" on success, else "Cannot write parameter file:
// <path> (<reason>)".
[[nodiscard]] std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                               char decimalMark = 0);
[[nodiscard]] std::string WriteParameterFile(const std::string& path, const TIterationContext& ctx,
                                             const engine::ExactView& view, int32_t samples = 1,
                                             char decimalMark = 0);

// The text exactly as WriteParameterFile puts it into the file: the 39
// lines, then the extension lines the view and the samples need (none for
// a view that 15 digits hold, drawn with one sample per pixel).
std::string ParameterFileText(const TIterationContext& ctx, char decimalMark = 0);
std::string ParameterFileText(const TIterationContext& ctx, const engine::ExactView& view, int32_t samples = 1,
                              char decimalMark = 0);

// The extension lines alone, each ended by CR LF.
std::string ExtensionLines(const TIterationContext& ctx, const engine::ExactView& view, int32_t samples = 1);

// Reals as the file writes them: at most 15 significant digits, general
// format (1E-20, 1.5E20, 5E-5, 0.0005), with `decimalMark` ("," gives a
// comma, 0 the locale's mark, anything else a point). NaN is written "NAN",
// infinities "INF" and "-INF"; the reader accepts them.
std::string FormatReal(double value, char decimalMark);

// The conversions of the value lines: surrounding blanks and tabs ignored,
// an optional leading "+", "." or "," as decimal mark; reals also accept
// exponents, "NAN" and "INF". Integers outside the 32-bit range, reals
// outside the double range and anything else do not convert (nullopt).
std::optional<int32_t> ParseInteger(std::string_view text);
std::optional<double> ParseReal(std::string_view text);

// "." or "," as the user's locale writes numbers.
char LocaleDecimalMark();

}  // namespace params
