// The options by name, as halvane-render's --option sets them.
#include <gtest/gtest.h>
#include <strings.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "test_support.h"

namespace imaging {
namespace {

using O = ImageFileOptions;

TEST(ImageOptionNames, EachNameSetsItsOwnFieldAndEveryNameIsListed) {
    const struct {
        const char* name;
        const char* value;
        std::function<void(O&)> expected;
    } cases[] = {
        {"JpegQuality", "95", [](O& o) { o.JpegQuality = 95; }},
        {"JpegWriteMethod", "1", [](O& o) { o.JpegWriteMethod = 1; }},
        {"JpegReadMethod", "float", [](O& o) { o.JpegReadMethod = 2; }},
        {"JpegProgressive", "yes", [](O& o) { o.JpegProgressive = true; }},
        {"PnmBinary", "1", [](O& o) { o.PnmBinary = true; }},
        {"TiffCompression", "PackBits", [](O& o) { o.TiffCompression = 32773; }},
        {"TiffTrueColour", "cmyk", [](O& o) { o.TiffTrueColour = 1; }},
        {"TiffGreyScale", "1", [](O& o) { o.TiffGreyScale = 1; }},
        {"TiffByteOrder", "MM", [](O& o) { o.TiffByteOrder = 1; }},
        {"TiffResolutionUnit", "cm", [](O& o) { o.TiffResolutionUnit = 2; }},
        {"TiffResHorizN", "-7", [](O& o) { o.TiffResHorizN = -7; }},
        {"TiffResHorizD", "3", [](O& o) { o.TiffResHorizD = 3; }},
        {"TiffResVertN", "2147483647", [](O& o) { o.TiffResVertN = 2147483647; }},
        {"TiffResVertD", "5", [](O& o) { o.TiffResVertD = 5; }},
        {"WriteGamma", "off", [](O& o) { o.WriteGamma = false; }},
        {"ScreenGamma", "2.2", [](O& o) { o.ScreenGamma = 2.2; }},
        {"gammacorrectiononread", "NO", [](O& o) { o.GammaCorrectionOnRead = false; }},
    };
    std::vector<std::string> named;
    for (const auto& c : cases) {
        O set, expected;
        EXPECT_EQ(SetImageOption(set, c.name, c.value), "") << c.name;
        c.expected(expected);
        EXPECT_NE(expected, O{}) << c.name;
        EXPECT_EQ(set, expected) << c.name;
        named.push_back(c.name);
    }
    const std::vector<ImageOptionHelp> list = ImageOptionList();
    ASSERT_EQ(list.size(), std::size(cases));
    for (size_t i = 0; i < list.size(); ++i) EXPECT_TRUE(strcasecmp(list[i].Name.c_str(), named[i].c_str()) == 0);
    EXPECT_EQ(list[0].Default, "80");
    EXPECT_EQ(list[5].Default, "1 (none)");
    EXPECT_EQ(list[15].Default, "1.8");
}

TEST(ImageOptionNames, BadNamesAndValuesAreRefusedAndChangeNothing) {
    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"JpegQualityX", "80"}, {"", "1"},           {"JpegQuality", "101"},  {"JpegQuality", "0"},
        {"JpegQuality", "8.5"}, {"JpegQuality", ""}, {"JpegWriteMethod", "3"}, {"PnmBinary", "2"},
        {"PnmBinary", "maybe"}, {"TiffCompression", "5"}, {"TiffResHorizN", "2147483648"},
        {"ScreenGamma", "0.05"}, {"ScreenGamma", "nan"}, {"ScreenGamma", "inf"}, {"ScreenGamma", "2,2"},
    };
    for (const auto& c : cases) {
        O options;
        const std::string error = SetImageOption(options, c.name, c.value);
        EXPECT_NE(error, "") << c.name << "=" << c.value;
        EXPECT_NE(error.find(c.name[0] ? c.name : "\"\""), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(options, O{}) << c.name << "=" << c.value;
    }
}

// halvane-render applies the options to the file it writes.
TEST(ImageOptionNames, RenderToolWritesWithThemAndRefusesBadOnesWithStatusTwo) {
    test::TempFolder folder;
    auto run = [&](const std::string& arguments) {
        const std::string command = std::string(HALVANE_BIN_DIR) + "/halvane-render --quiet --size 9x4 " + arguments +
                                    " >" + folder.File("out.txt") + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(run("--binary --output " + folder.File("a.ppm")), 0);
    EXPECT_EQ(test::ReadBytes(folder.File("a.ppm")).size(), 11u + 9 * 4 * 3);
    ASSERT_EQ(run("--option TiffByteOrder=big --option tiffcompression=32773 --output " + folder.File("a.tif")), 0);
    EXPECT_EQ(test::ReadBytes(folder.File("a.tif"))[0], 'M');
    std::vector<uint8_t> low, high;
    ASSERT_EQ(run("--quality 5 --output " + folder.File("low.jpg")), 0);
    ASSERT_EQ(run("--option JpegQuality=100 --output " + folder.File("high.jpg")), 0);
    EXPECT_LT(test::ReadBytes(folder.File("low.jpg")).size(), test::ReadBytes(folder.File("high.jpg")).size());
    for (const char* bad : {"--option Nothing=1", "--option JpegQuality", "--quality 200", "--option PnmBinary=2"}) {
        EXPECT_EQ(run(std::string(bad) + " --output " + folder.File("b.png")), 2) << bad;
        const std::vector<uint8_t> said = test::ReadBytes(folder.File("out.txt"));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << bad;
    }
    ASSERT_EQ(run("--help"), 0);
    const std::vector<uint8_t> help = test::ReadBytes(folder.File("out.txt"));
    for (const ImageOptionHelp& option : ImageOptionList()) {
        const std::string line = option.Name + "=" + option.Default;
        EXPECT_NE(std::search(help.begin(), help.end(), line.begin(), line.end()), help.end()) << line;
    }
}

}  // namespace
}  // namespace imaging
