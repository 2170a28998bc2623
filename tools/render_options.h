// halvane-render's options, each described once. The parser, --help (and
// so the manual page, which help2man makes from it) and the bash
// completion are all made from this one table, so that they cannot fall
// out of step. A new option is one more entry in RenderOptions().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "render_arguments.h"

namespace render {

// What the shell offers for an option's value.
enum class ValueCompletion {
    None,           // no value, or one the user types (numbers, sizes)
    Range,          // the whole numbers low to high, one by one
    SettingsFile,   // a parameter file, or a picture that carries its settings
    PictureFile,    // a picture in a format halvane-render writes
    ParameterFile,  // a parameter file (.vtx)
    FilmFile,       // a film halvane-render makes (.mp4, .mkv, .webm)
    ImageOption,    // NAME= of an image file option
    AnyFile,
};

struct RenderOption;
using ApplyOption = void (*)(Arguments&, const RenderOption&, const std::string& value);

struct RenderOption {
    const char* name = "";          // "--formula"
    const char* alias = nullptr;    // "-o"
    const char* value = nullptr;    // "N"; null for an option that takes no value
    const char* help = "";          // one sentence; --help wraps it
    ValueCompletion completion = ValueCompletion::None;
    int64_t low = 0, high = 0;      // the range of a whole-number value
    ApplyOption apply = nullptr;

    bool TakesValue() const { return value != nullptr; }
    // The value read as this option's kind; UsageError naming the option.
    int32_t Integer(std::string_view text) const;  // within low..high
    double Real(std::string_view text) const;       // finite
    // A coordinate with every digit given ("." mark): within the doubles'
    // range, though below their smallest (a deep view) is fine.
    std::string Coordinate(std::string_view text) const;
    std::pair<std::string, std::string> Point(std::string_view text) const;  // X,Y
    // A magnification with every digit given: above 0, at most 1E10000.
    std::string Magnification(std::string_view text, const char* notPositive) const;
};

// Every option, in the order --help lists them (also the order in which the
// settings options are applied).
const std::vector<RenderOption>& RenderOptions();

// The option called `name` (its long name or its alias); null if none is.
const RenderOption* FindRenderOption(std::string_view name);

// Extensions (lower case, without the dot) of the files the shell offers
// for a file value.
std::vector<std::string> CompletionExtensions(ValueCompletion kind);

// What --help and --version print.
std::string HelpText();
std::string VersionText();

}  // namespace render
