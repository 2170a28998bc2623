// halvane-render's parts for films and tiles: the key list, the labels of
// film parts, the places of tiles and parts.
#include <gtest/gtest.h>

#include <set>

#include "keyframe_list.h"
#include "render_arguments.h"
#include "tiles.h"
#include "video_encoder.h"

namespace {

TEST(KeyframeList, ReadsKeysAndSaysWhatIsWrongWithALine) {
    std::vector<render::KeyEntry> keys;
    ASSERT_EQ(render::ParseKeyframeList("# the film\r\n0 start.vtx\n\n  12\tdeep/a b.png  \n30 /abs/end.vtx\n",
                                        "films/list.txt", keys),
              "");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].path, "films/start.vtx");
    EXPECT_EQ(keys[1].frame, 12);
    EXPECT_EQ(keys[1].path, "films/deep/a b.png");
    EXPECT_EQ(keys[1].line, 4);
    EXPECT_EQ(keys[2].path, "/abs/end.vtx");

    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0 a.vtx\nx b.vtx\n", "l.txt:2: expected a frame number from 0 to 999999 and a settings file, got 'x b.vtx'"},
        {"0 a.vtx\n5b.vtx\n", "l.txt:2: expected a frame number"},
        {"0 a.vtx\n-5 b.vtx\n", "l.txt:2: expected a frame number"},
        {"0 a.vtx\n1000000 b.vtx\n", "l.txt:2: expected a frame number"},
        {"0 a.vtx\n7\n", "l.txt:2: frame 7 names no settings file"},
        {"3 a.vtx\n7 b.vtx\n", "l.txt:1: the first key must be frame 0, not 3"},
        {"0 a.vtx\n7 b.vtx\n7 c.vtx\n", "l.txt:3: frame 7 does not follow frame 7: key frames must increase"},
        {"0 a.vtx\n", "l.txt: a film needs at least two keys, the first at frame 0"},
        {"", "l.txt: a film needs at least two keys"},
    };
    for (const auto& c : cases) {
        const std::string error = render::ParseKeyframeList(c.text, "l.txt", keys);
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << " gave: " << error;
    }
    EXPECT_NE(render::ReadKeyframeList("/nonexistent/list.txt", keys).find("cannot read the list of keys"),
              std::string::npos);
}

TEST(FilmParts, LabelsReadBackAndOthersAreNoLabels) {
    const render::FilmPart part{100, 199, 300, "0123456789abcdef"};
    EXPECT_EQ(render::PartComment(part), "halvane-render frames 100-199 of 300, film 0123456789abcdef");
    EXPECT_EQ(render::PartFromComment(render::PartComment(part)), part);
    for (const char* other : {"", "made with ffmpeg", "halvane-render frames 5-4 of 9, film x",
                              "halvane-render frames 0-9 of 9, film x", "halvane-render frames 0-x of 9, film x",
                              "halvane-render frames -1-3 of 9, film x", "halvane-render frames 0-3 of 9 film x"}) {
        EXPECT_FALSE(render::PartFromComment(other)) << other;
    }
}

// Tiles and parts split evenly, every row or frame in exactly one of them.
TEST(Places, TilesAndPartsCoverEveryRowAndFrameOnce) {
    for (int32_t total : {1, 2, 7, 100, 15000}) {
        for (int32_t count : {1, 2, 3, 7, 16}) {
            if (count > total) continue;
            int32_t next = 0;
            for (int32_t i = 1; i <= count; ++i) {
                const render::TileRows rows = render::RowsOfTile(i, count, total);
                const render::FrameRange frames = render::FramesOfPart({i, count}, total);
                EXPECT_EQ(rows.first, next);
                EXPECT_EQ(frames.first, next);
                EXPECT_EQ(frames.last, rows.end - 1);
                EXPECT_GT(rows.end, rows.first) << "an empty tile " << i << "/" << count << " of " << total;
                next = rows.end;
            }
            EXPECT_EQ(next, total);
        }
    }
    EXPECT_EQ(render::PartProblem({1, 8}, 8), "");
    EXPECT_EQ(render::PartProblem({1, 9}, 8), "--part: 9 parts of a film of 8 frames");
}

TEST(Places, ATilesCommentNamesItsPlaceAndKeepsThePictures) {
    const std::string picture = "halvane picture settings\nsize 640x480\nversion-.001\n0\n";
    const std::string tile = render::TileComment(picture, 3, 8);
    EXPECT_EQ(tile, picture + "Tile=3/8\n");
    std::string back;
    int32_t index = 0, count = 0;
    ASSERT_TRUE(render::ParseTileComment(tile, back, index, count));
    EXPECT_EQ(back, picture);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(count, 8);
    for (const std::string& other : {picture, picture + "Tile=9/8\n", picture + "Tile=0/8\n", picture + "Tile=3\n",
                                     picture + "Tile=3/8x\n", std::string("Tile=1/2\n"),
                                     "something else\n" + std::string("Tile=1/2\n"),
                                     picture + "Tile=1/2\nSamples=2\n"}) {
        EXPECT_FALSE(render::ParseTileComment(other, back, index, count)) << other;
    }
}

}  // namespace
