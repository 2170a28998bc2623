#include "bash_completion.h"

#include "image_options.h"
#include "render_options.h"

namespace render {

namespace {

std::string Names(const RenderOption& option) {
    return option.alias != nullptr ? std::string(option.alias) + "|" + option.name : std::string(option.name);
}

std::string Joined(const std::vector<std::string>& words, const char* separator) {
    std::string out;
    for (const std::string& word : words) out += (out.empty() ? "" : separator) + word;
    return out;
}

// What the case branch of an option with a value does.
std::string ValueAction(const RenderOption& option) {
    switch (option.completion) {
        case ValueCompletion::Range: {
            std::vector<std::string> values;
            for (int64_t v = option.low; v <= option.high; ++v) values.push_back(std::to_string(v));
            return "COMPREPLY=($(compgen -W '" + Joined(values, " ") + "' -- \"$cur\"))";
        }
        case ValueCompletion::SettingsFile:
        case ValueCompletion::PictureFile:
        case ValueCompletion::ParameterFile:
        case ValueCompletion::FilmFile:
            return "_filedir '" + Joined(CompletionExtensions(option.completion), "|") + "'";
        case ValueCompletion::AnyFile:
            return "_filedir";
        case ValueCompletion::ImageOption: {
            std::vector<std::string> names;
            for (const imaging::ImageOptionHelp& o : imaging::ImageOptionList()) names.push_back(o.Name + "=");
            return "COMPREPLY=($(compgen -W '" + Joined(names, " ") +
                   "' -- \"$cur\")); [[ ${COMPREPLY-} == *= ]] && compopt -o nospace";
        }
        case ValueCompletion::None:
            break;
    }
    return "";
}

}  // namespace

std::string BashCompletionScript() {
    std::string script =
        "# bash completion for halvane-render; made from its option table when halvane is built.\n"
        "_halvane_render()\n"
        "{\n"
        "    local cur prev words cword split\n"
        "    _init_completion -s || return\n"
        "\n"
        "    case $prev in\n";
    std::vector<std::string> all, typed;
    for (const RenderOption& option : RenderOptions()) {
        if (option.alias != nullptr) all.push_back(option.alias);
        all.push_back(option.name);
        if (!option.TakesValue()) continue;
        const std::string action = ValueAction(option);
        if (action.empty()) {
            typed.push_back(Names(option));
        } else {
            script += "        " + Names(option) + ")\n            " + action + "\n            return\n            ;;\n";
        }
    }
    // Values the user types: nothing to offer.
    if (!typed.empty()) script += "        " + Joined(typed, "|") + ")\n            return\n            ;;\n";
    script +=
        "    esac\n"
        "    $split && return\n"
        "\n"
        "    COMPREPLY=($(compgen -W '" + Joined(all, " ") + "' -- \"$cur\"))\n"
        "} &&\n"
        "    complete -F _halvane_render halvane-render\n";
    return script;
}

}  // namespace render
