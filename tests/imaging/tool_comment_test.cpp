// A picture's settings survive other programs that save it again: they
// move the comment into compressed text chunks, after the picture data, or
// rename its keyword. Each tool is run when it is installed
// (scripts/install-deps.sh --test installs them all).
#include <gtest/gtest.h>

#include <cstdlib>

#include "picture_files.h"
#include "test_support.h"

namespace imaging {
namespace {

bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

struct Tool {
    const char* name;
    const char* program;  // what must be installed
    const char* from;     // the halvane picture it starts from
    const char* command;  // IN and OUT stand for the files
};

const char* const kPil = "/usr/bin/python3 -c \"import sys; from PIL import Image, PngImagePlugin; "
                         "im = Image.open(sys.argv[1]); info = PngImagePlugin.PngInfo(); "
                         "[info.%s for k, v in im.text.items()]; im.save(sys.argv[2], pnginfo=info)\" IN OUT";

TEST(SettingsSurvive, PicturesSavedAgainByOtherPrograms) {
    test::TempFolder folder;
    const std::string render = std::string(HALVANE_BIN_DIR) + "/halvane-render --quiet ";
    for (const char* name : {"h.png", "h.jpg", "h.tif"}) {
        ASSERT_EQ(std::system((render + "--size 40x30 --maxit 77 --output " + folder.File(name)).c_str()), 0);
    }
    char pilText[400], pilInternational[400];
    std::snprintf(pilText, sizeof pilText, kPil, "add_text(k, v, zip=True)");
    std::snprintf(pilInternational, sizeof pilInternational, kPil, "add_itxt(k, v, lang='en', tkey='Kommentar', zip=True)");
    const Tool tools[] = {
        {"imagemagick_copy", "convert", "h.png", "convert IN OUT"},
        {"imagemagick_resize", "convert", "h.png", "convert IN -resize 50% OUT"},
        {"imagemagick_interlace", "convert", "h.png", "convert IN -interlace PNG OUT"},
        {"imagemagick_from_jpeg", "convert", "h.jpg", "convert IN OUT"},
        {"imagemagick_from_tiff", "convert", "h.tif", "convert IN OUT"},
        {"pil_ztxt", "/usr/bin/python3", "h.png", pilText},
        {"pil_compressed_itxt", "/usr/bin/python3", "h.png", pilInternational},
        {"pnmtopng_ztxt", "pnmtopng", "h.png", "pngtopnm -text OUT.txt IN > OUT.ppm && pnmtopng -ztxt OUT.txt OUT.ppm > OUT"},
        {"exiftool_z", "exiftool", "h.png",
         "cp IN OUT && exiftool -q -z -overwrite_original -tagsfromfile @ -Comment OUT"},
    };
    std::string error;
    const std::optional<params::SettingsRecord> original = params::ReadSettingsFromPicture(folder.File("h.png"), error);
    ASSERT_TRUE(original) << error;
    int ran = 0;
    for (const Tool& tool : tools) {
        SCOPED_TRACE(tool.name);
        if (!Installed(tool.program)) continue;
        if (std::string(tool.program) == "/usr/bin/python3" && std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
            continue;
        }
        std::string command = tool.command;
        const std::string out = folder.File(std::string(tool.name) + ".png");
        for (size_t at; (at = command.find("IN")) != std::string::npos;) command.replace(at, 2, folder.File(tool.from));
        for (size_t at; (at = command.find("OUT")) != std::string::npos;) command.replace(at, 3, out);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::optional<params::SettingsRecord> found = params::ReadSettingsFromPicture(out, error);
        ASSERT_TRUE(found) << error;
        EXPECT_EQ(*found, *original);
        ++ran;
    }
    if (ran == 0) GTEST_SKIP() << "none of the tools is installed";
    // The settings of a picture ImageMagick saved make the picture again.
    if (Installed("convert")) {
        ASSERT_EQ(std::system((render + "--params " + folder.File("imagemagick_resize.png") + " --output " +
                               folder.File("again.png")).c_str()),
                  0);
        EXPECT_EQ(test::ReadBytes(folder.File("again.png")), test::ReadBytes(folder.File("h.png")));
    }
}

}  // namespace
}  // namespace imaging
