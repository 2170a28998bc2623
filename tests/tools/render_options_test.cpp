// halvane-render's option table: the parser, --help and the shell
// completion made from it agree with each other and with the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bash_completion.h"
#include "image_file.h"
#include "render_options.h"

namespace {

using render::RenderOption;
using render::ValueCompletion;

render::Arguments Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "halvane-render");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return render::ParseArguments(static_cast<int>(argv.size()), argv.data());
}

// The UsageError's message, or "" when the words parse.
std::string ParseError(const std::vector<std::string>& words) {
    try {
        Parse(words);
    } catch (const render::UsageError& error) {
        return error.message;
    }
    return "";
}

TEST(RenderOptions, NamesAreUniqueAndHelpListsEachAsHelp2ManReadsIt) {
    const std::string help = render::HelpText();
    std::set<std::string> names;
    for (const RenderOption& option : render::RenderOptions()) {
        EXPECT_TRUE(names.insert(option.name).second) << option.name;
        if (option.alias != nullptr) {
            EXPECT_TRUE(names.insert(option.alias).second) << option.alias;
        }
        EXPECT_EQ(render::FindRenderOption(option.name), &option);
        std::string heading = std::string(option.alias != nullptr ? option.alias : "") +
                              (option.alias != nullptr ? ", " : "    ") + option.name;
        if (option.TakesValue()) heading += std::string(" ") + option.value;
        const size_t at = help.find("\n  " + heading);
        ASSERT_NE(at, std::string::npos) << heading;
        const char after = help[at + 3 + heading.size()];
        EXPECT_TRUE(after == ' ' || after == '\n') << heading;
    }
    std::istringstream lines(help);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("Usage: halvane-render ", 0), 0u) << line;
    while (std::getline(lines, line)) EXPECT_LE(line.size(), 80u) << line;
    // A line break in a help text starts a line in the description's column.
    EXPECT_NE(help.find("(k/(N-1));\n" + std::string(24, ' ') + "the output is"), std::string::npos);
}

// The completion offers a range option's values one by one: the parser must
// take exactly those.
TEST(RenderOptions, RangesOfferedAreTheRangesAccepted) {
    const std::string script = render::BashCompletionScript();
    int ranges = 0;
    for (const RenderOption& option : render::RenderOptions()) {
        if (option.completion != ValueCompletion::Range) continue;
        ++ranges;
        const std::string name = option.name;
        for (int64_t v : {option.low, option.high}) {
            EXPECT_EQ(ParseError({name, std::to_string(v), "--output", "x.png"}), "") << name << ' ' << v;
        }
        for (int64_t v : {option.low - 1, option.high + 1}) {
            EXPECT_EQ(ParseError({name, std::to_string(v), "--output", "x.png"}).rfind(name + ":", 0), 0u)
                << name << ' ' << v;
        }
        std::string values;
        for (int64_t v = option.low; v <= option.high; ++v) values += (values.empty() ? "" : " ") + std::to_string(v);
        EXPECT_NE(script.find(name + ")\n            COMPREPLY=($(compgen -W '" + values + "' "), std::string::npos)
            << name;
    }
    EXPECT_EQ(ranges, 6);
}

TEST(RenderOptions, ValuesAfterAnEqualsSignAreTheSameAsAfterASpace) {
    const struct {
        std::vector<std::string> attached, separate;
    } cases[] = {
        {{"--formula=3"}, {"--formula", "3"}},
        {{"--center=-0.5,0.25"}, {"--center", "-0.5,0.25"}},
        {{"--option=JpegQuality=55"}, {"--option", "JpegQuality=55"}},
        {{"--output=a.jpg"}, {"--output", "a.jpg"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> a = c.attached, b = c.separate;
        if (a.front().rfind("--output", 0) != 0) {
            for (auto* words : {&a, &b}) words->insert(words->end(), {"--output", "a.jpg"});
        }
        const render::Arguments x = Parse(a), y = Parse(b);
        EXPECT_EQ(x.formula, y.formula) << a.front();
        EXPECT_EQ(x.center, y.center) << a.front();
        EXPECT_TRUE(x.image == y.image) << a.front();
        EXPECT_EQ(x.output, y.output) << a.front();
    }
    EXPECT_EQ(Parse({"--center=-0.5,0.25", "-o", "a.png"}).center, std::make_pair(-0.5, 0.25));
    EXPECT_EQ(ParseError({"--quiet=yes", "-o", "a.png"}), "--quiet: takes no value");
    EXPECT_EQ(ParseError({"-o=a.png"}), "-o=a.png: unknown argument (see --help)");
    EXPECT_EQ(ParseError({"--formula"}), "--formula: missing value");
}

TEST(RenderOptions, HelpAndVersionStopTheParse) {
    EXPECT_TRUE(Parse({"--help", "--formula", "99"}).help);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version", "--nonsense"}).version);
    EXPECT_EQ(ParseError({"--formula", "99", "--help"}).rfind("--formula:", 0), 0u);
}

// The file options offer the pictures of the formats the program writes
// (--output), and those that carry settings (--params).
TEST(RenderOptions, FilesOfferedAreTheFilesTaken) {
    const auto offered = [](ValueCompletion kind, const std::string& extension) {
        const std::vector<std::string> list = render::CompletionExtensions(kind);
        return std::find(list.begin(), list.end(), extension) != list.end();
    };
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("render-options-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const imaging::Picture picture(4, 3);
    for (const std::string extension : {"bmp", "dib", "jpg", "jpeg", "jif", "pbm", "pgm", "png", "ppm", "tga", "tif",
                                        "tiff", "pcx", "rle", "gif", "vtx", "txt"}) {
        const std::string path = (folder / ("p." + extension)).string();
        EXPECT_EQ(offered(ValueCompletion::PictureFile, extension), imaging::CanSave(path)) << extension;
        if (!imaging::CanSave(path)) {
            EXPECT_EQ(offered(ValueCompletion::SettingsFile, extension), extension == "vtx") << extension;
            continue;
        }
        ASSERT_EQ(imaging::SaveImageFile(picture, path, "settings"), "") << path;
        std::string comment;
        ASSERT_EQ(imaging::ReadImageComment(path, comment), "") << path;
        EXPECT_EQ(offered(ValueCompletion::SettingsFile, extension), comment == "settings") << extension;
    }
    std::filesystem::remove_all(folder);
    EXPECT_EQ(render::CompletionExtensions(ValueCompletion::ParameterFile), std::vector<std::string>{"vtx"});
}

}  // namespace
