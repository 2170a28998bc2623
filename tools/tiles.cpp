#include "tiles.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "band_reader.h"
#include "band_writer.h"
#include "interruption.h"
#include "settings_record.h"

namespace render {

namespace {
constexpr std::string_view kTileLine = "Tile=";
constexpr int64_t kBandBytes = int64_t{8} << 20;

std::string TileName(int32_t index, int32_t count) { return std::to_string(index) + "/" + std::to_string(count); }

// What a tile file says of itself.
struct TileFile {
    std::string path;
    std::string pictureComment;
    int32_t index = 0;
    int32_t count = 0;
    int32_t width = 0;
    int32_t height = 0;
};

std::string ReadTile(const std::string& path, TileFile& tile) {
    imaging::BandReader reader;
    if (std::string error = reader.Open(path); !error.empty()) return error;
    tile.path = path;
    tile.width = reader.Width();
    tile.height = reader.Height();
    if (!ParseTileComment(reader.Comment(), tile.pictureComment, tile.index, tile.count)) {
        return path + ": not a tile made by halvane-render --tile (its comment names no place)";
    }
    return {};
}
}  // namespace

TileRows RowsOfTile(int32_t index, int32_t count, int32_t height) {
    const auto edge = [&](int64_t k) { return static_cast<int32_t>(k * height / count); };
    return {edge(index - 1), edge(index)};
}

std::string TileComment(const std::string& pictureComment, int32_t index, int32_t count) {
    std::string comment = pictureComment;
    if (!comment.empty() && comment.back() != '\n') comment += '\n';
    return comment + std::string(kTileLine) + TileName(index, count) + "\n";
}

bool ParseTileComment(const std::string& comment, std::string& pictureComment, int32_t& index, int32_t& count) {
    std::string_view text = comment;
    if (text.ends_with('\n')) text.remove_suffix(1);
    const size_t lineStart = text.rfind('\n');
    if (lineStart == std::string_view::npos) return false;
    const std::string_view line = text.substr(lineStart + 1);
    if (!line.starts_with(kTileLine)) return false;
    const std::string_view place = line.substr(kTileLine.size());
    const size_t slash = place.find('/');
    if (slash == std::string_view::npos) return false;
    int32_t i = 0, n = 0;
    const auto [iEnd, iError] = std::from_chars(place.data(), place.data() + slash, i);
    const auto [nEnd, nError] = std::from_chars(place.data() + slash + 1, place.data() + place.size(), n);
    if (iError != std::errc() || nError != std::errc() || iEnd != place.data() + slash ||
        nEnd != place.data() + place.size() || n < 1 || i < 1 || i > n ||
        !params::SettingsFromComment(comment.substr(0, lineStart + 1))) {
        return false;
    }
    pictureComment = comment.substr(0, lineStart + 1);
    index = i;
    count = n;
    return true;
}

std::string JoinTiles(const std::string& path, const std::vector<std::string>& paths, ProgressBar& rows) {
    std::map<int32_t, TileFile> tiles;
    TileFile first;
    for (const std::string& tilePath : paths) {
        TileFile tile;
        if (std::string error = ReadTile(tilePath, tile); !error.empty()) return "--join-tiles: " + error;
        if (first.path.empty()) first = tile;
        if (tile.pictureComment != first.pictureComment || tile.count != first.count) {
            return "--join-tiles: " + tilePath + " is a tile of another picture than " + first.path;
        }
        if (const auto seen = tiles.find(tile.index); seen != tiles.end()) {
            return "--join-tiles: tile " + TileName(tile.index, tile.count) + " is given twice: " + seen->second.path +
                   " and " + tilePath;
        }
        tiles.emplace(tile.index, tile);
    }
    std::string missing;
    for (int32_t i = 1; i <= first.count; ++i) {
        if (!tiles.contains(i)) missing += (missing.empty() ? "" : ", ") + std::to_string(i);
    }
    if (!missing.empty()) {
        const bool several = missing.find(',') != std::string::npos;
        return "--join-tiles: tile" + std::string(several ? "s " : " ") + missing + " of " +
               std::to_string(first.count) + (several ? " are" : " is") + " missing";
    }
    const params::SettingsRecord record = *params::SettingsFromComment(first.pictureComment);
    for (const auto& [index, tile] : tiles) {
        const TileRows place = RowsOfTile(index, tile.count, record.height);
        if (tile.width != record.width || tile.height != place.end - place.first) {
            return "--join-tiles: " + tile.path + " holds " + std::to_string(tile.width) + "x" +
                   std::to_string(tile.height) + " pixels, not the " + std::to_string(record.width) + "x" +
                   std::to_string(place.end - place.first) + " of tile " + TileName(index, tile.count);
        }
    }

    imaging::BandWriter writer;
    if (std::string error = writer.Open(path, record.width, record.height, first.pictureComment); !error.empty()) {
        return error;
    }
    const int32_t bandRows =
        static_cast<int32_t>(std::clamp<int64_t>(kBandBytes / (int64_t{record.width} * 3), 1, 4096));
    std::vector<uint8_t> band(static_cast<size_t>(bandRows) * record.width * 3);
    for (const auto& [index, tile] : tiles) {
        imaging::BandReader reader;
        if (std::string error = reader.Open(tile.path); !error.empty()) return "--join-tiles: " + error;
        while (reader.RowsRead() < reader.Height()) {
            if (Interrupted()) return "interrupted";
            const int32_t count = std::min(bandRows, reader.Height() - reader.RowsRead());
            if (std::string error = reader.ReadRows(band.data(), count); !error.empty()) return "--join-tiles: " + error;
            if (std::string error = writer.WriteRows(band.data(), count); !error.empty()) return error;
            rows.Show(writer.RowsWritten(), record.height);
        }
    }
    return writer.Finish();
}

}  // namespace render
