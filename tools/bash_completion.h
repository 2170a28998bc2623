// The bash completion of halvane-render, made from its option table.
#pragma once

#include <string>

namespace render {

// A script for bash-completion's completions folder: it completes the
// options, the values of the options with few (the ranges, the image file
// option names) and the files of the file options by their extensions.
std::string BashCompletionScript();

}  // namespace render
