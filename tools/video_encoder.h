// Films through the ffmpeg program: frames piped to it as raw RGB video,
// H.264 (libx264) in .mp4 and .mkv, VP9 (libvpx-vp9) in .webm, 4:2:0 with
// BT.709 colours. The film is written to a temporary file beside its name
// and put under the name only when ffmpeg has finished it, as the picture
// files are (symbolic links followed, a read-only file refused, owner and
// mode kept): a run that fails or is interrupted leaves no half film.
//
// Every film halvane-render makes says in its comment which frames of which
// film it holds ("halvane-render frames K-L of N, film ID"), so that
// JoinFilms puts parts in order and finds frames missing or held twice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "file_access.h"
#include "picture.h"

namespace render {

struct FilmPart {
    int32_t first = 0;
    int32_t last = 0;
    int32_t frames = 0;  // in the whole film
    std::string film;    // what tells films apart
    bool operator==(const FilmPart&) const = default;
};

std::string PartComment(const FilmPart& part);
std::optional<FilmPart> PartFromComment(const std::string& comment);

struct VideoOptions {
    std::string fps = "30";
    std::optional<int32_t> crf;  // the encoder's default where not given
    int threads = 0;             // 0: ffmpeg's choice
};

class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder() { Abandon(); }
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Starts ffmpeg on a film of `width` by `height` frames (both even).
    // Each call returns "" or one line naming the film and what went wrong.
    [[nodiscard]] std::string Open(const std::string& path, int32_t width, int32_t height, const VideoOptions& options,
                                   const FilmPart& part);
    [[nodiscard]] std::string AddFrame(const imaging::Picture& frame);
    // Lets ffmpeg finish, then puts the film under its name.
    [[nodiscard]] std::string Finish();
    // Stops ffmpeg and removes what it wrote.
    void Abandon();

private:
    std::string Fail(const std::string& what);

    std::string path_;
    ChildProcess ffmpeg_;
    imaging::FileReplacement file_;
    size_t frameBytes_ = 0;
};

// One film of `parts` through ffmpeg's concat demuxer, the streams copied.
// Parts that halvane-render made are put in frame order and must make one
// whole film, every frame once; other films are joined in the order given,
// and all must have the same codec, size, pixel format and frame rate.
// "" or one line that says what is wrong.
[[nodiscard]] std::string JoinFilms(const std::string& path, const std::vector<std::string>& parts);

// Frames in a film, counted by ffprobe; -1 (and `error`) when it cannot say.
int64_t CountFrames(const std::string& path, std::string& error);

}  // namespace render
