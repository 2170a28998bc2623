// Tiles: band I of N of a picture's rows, each computed on its own (on any
// machine) into a TIFF or PNG file of its own, and joined into the picture.
// Tile I of N of a picture H rows high holds rows floor((I-1)*H/N) to
// floor(I*H/N) - 1, at the picture's full width. Its settings comment is
// the whole picture's (size included), with one more line at its end,
// "Tile=I/N", which names its place; --params on a tile makes the whole
// picture, and the comment of the joined picture is the tile's without
// that line, so that the tiles joined are byte for byte the picture made
// in one run with the same file options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "progress_bar.h"

namespace render {

struct TileRows {
    int32_t first = 0;
    int32_t end = 0;  // one past the last
};

TileRows RowsOfTile(int32_t index, int32_t count, int32_t height);

// The comment of tile `index` of `count` of the picture whose comment is
// `pictureComment`.
std::string TileComment(const std::string& pictureComment, int32_t index, int32_t count);

// The picture's comment and the tile's place in a tile's comment; false
// when the comment is not a tile's.
bool ParseTileComment(const std::string& comment, std::string& pictureComment, int32_t& index, int32_t& count);

// Joins the tiles into `path`, a band at a time, after checking that they
// are every tile of one picture, each once, each of its size. "" or one line
// that says what is wrong; nothing is left under `path` then.
[[nodiscard]] std::string JoinTiles(const std::string& path, const std::vector<std::string>& tiles, ProgressBar& rows);

}  // namespace render
