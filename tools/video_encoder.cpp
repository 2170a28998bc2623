#include "video_encoder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>

#include "interruption.h"

namespace render {

namespace {

constexpr std::string_view kPartPrefix = "halvane-render frames ";

bool EndsWithLower(const std::string& text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        char c = text[text.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i]) return false;
    }
    return true;
}

bool IsWebm(const std::string& path) { return EndsWithLower(path, ".webm"); }

// ffmpeg's name of the container of `path`.
std::string Container(const std::string& path) {
    if (IsWebm(path)) return "webm";
    if (EndsWithLower(path, ".mkv")) return "matroska";
    return "mp4";
}

// The arguments that encode and store a film as `path` asks (after the input).
std::vector<std::string> EncodingArguments(const std::string& path, const VideoOptions& options) {
    std::vector<std::string> args = {
        // RGB to 4:2:0 with BT.709's matrix, and the film says so.
        "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int",
        "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
        "-color_range", "tv"};
    if (IsWebm(path)) {
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-b:v", "0", "-row-mt", "1", "-crf",
                                 std::to_string(options.crf.value_or(31))});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "medium", "-crf", std::to_string(options.crf.value_or(23))});
    }
    if (options.threads > 0) args.insert(args.end(), {"-threads", std::to_string(options.threads)});
    if (Container(path) == "mp4") args.insert(args.end(), {"-movflags", "+faststart"});
    return args;
}

// Writes all bytes to the pipe; false with `reason` on failure or interruption.
bool WriteToPipe(int fd, const uint8_t* data, size_t size, std::string& reason) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR && !Interrupted()) continue;
            reason = errno == EINTR ? "interrupted" : std::strerror(errno);
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::optional<int32_t> Number(std::string_view text) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// What ffprobe says of a film's first video stream and its comment.
struct FilmFacts {
    std::string stream;   // codec, size, pixel format, frame rate
    int64_t packets = -1;
    std::string comment;
};

std::string Probe(const std::string& ffprobe, const std::string& path, FilmFacts& facts) {
    std::string output;
    const int status = RunProgram({ffprobe, "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                                   "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_packets:format_tags=comment",
                                   "-of", "default=noprint_wrappers=1", "--", path},
                                  output);
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (status != 0 || !values.contains("codec_name")) {
        std::string why = output.substr(0, output.find('\n'));
        if (why.empty() || values.contains("codec_name") || why.find('=') != std::string::npos) why = "no video in it";
        return path + ": not a film ffprobe can read (" + why + ")";
    }
    facts.stream = values["codec_name"] + " " + values["width"] + "x" + values["height"] + " " + values["pix_fmt"] +
                   " " + values["r_frame_rate"] + " frames/s";
    facts.packets = std::strtoll(values["nb_read_packets"].c_str(), nullptr, 10);
    facts.comment = values.contains("TAG:comment") ? values["TAG:comment"] : values["TAG:COMMENT"];
    return {};
}

std::string Frames(int32_t first, int32_t last) {
    return first == last ? "frame " + std::to_string(first)
                         : "frames " + std::to_string(first) + " to " + std::to_string(last);
}

// The parts in frame order, checked to make the film `film` whole.
std::string OrderParts(std::vector<std::pair<FilmPart, std::string>>& parts) {
    std::stable_sort(parts.begin(), parts.end(),
                     [](const auto& a, const auto& b) { return a.first.first < b.first.first; });
    const FilmPart& one = parts.front().first;
    int32_t next = 0;
    const std::string* previous = nullptr;
    for (const auto& [part, path] : parts) {
        if (part.film != one.film || part.frames != one.frames) {
            return "--join-video: " + path + " is a part of another film than " + parts.front().second;
        }
        if (part.first > next) return "--join-video: " + Frames(next, part.first - 1) + " of " +
                                      std::to_string(one.frames) + " are in no part";
        if (part.first < next) {
            return "--join-video: " + Frames(part.first, std::min(part.last, next - 1)) + " are in both " +
                   *previous + " and " + path;
        }
        next = part.last + 1;
        previous = &path;
    }
    if (next < one.frames) {
        return "--join-video: " + Frames(next, one.frames - 1) + " of " + std::to_string(one.frames) +
               " are in no part";
    }
    return {};
}

// The concat demuxer's list: one line per part, quoted.
std::string ConcatList(const std::vector<std::string>& paths) {
    std::string list = "ffconcat version 1.0\n";
    for (const std::string& path : paths) {
        std::string absolute = path;
        if (absolute.empty() || absolute.front() != '/') {
            char here[4096];
            if (::getcwd(here, sizeof here) != nullptr) absolute = std::string(here) + "/" + path;
        }
        std::string quoted;
        for (const char c : absolute) {
            if (c == '\'') quoted += "'\\''";
            else quoted += c;
        }
        list += "file '" + quoted + "'\n";
    }
    return list;
}

}  // namespace

std::string PartComment(const FilmPart& part) {
    return std::string(kPartPrefix) + std::to_string(part.first) + "-" + std::to_string(part.last) + " of " +
           std::to_string(part.frames) + ", film " + part.film;
}

std::optional<FilmPart> PartFromComment(const std::string& comment) {
    if (!comment.starts_with(kPartPrefix)) return std::nullopt;
    const std::string_view rest = std::string_view(comment).substr(kPartPrefix.size());
    const size_t dash = rest.find('-');
    const size_t of = rest.find(" of ");
    const size_t film = rest.find(", film ");
    if (dash == std::string_view::npos || of == std::string_view::npos || film == std::string_view::npos ||
        !(dash < of && of < film)) {
        return std::nullopt;
    }
    const auto first = Number(rest.substr(0, dash));
    const auto last = Number(rest.substr(dash + 1, of - dash - 1));
    const auto frames = Number(rest.substr(of + 4, film - of - 4));
    if (!first || !last || !frames || *first < 0 || *first > *last || *last >= *frames) return std::nullopt;
    return FilmPart{*first, *last, *frames, std::string(rest.substr(film + 7))};
}

std::string VideoEncoder::Fail(const std::string& what) {
    Abandon();
    return "Cannot write film: " + path_ + " (" + what + ")";
}

std::string VideoEncoder::Open(const std::string& path, int32_t width, int32_t height, const VideoOptions& options,
                               const FilmPart& part) {
    Abandon();
    path_ = path;
    const std::string ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) return MissingProgram("ffmpeg", "--video", "ffmpeg");
    if (width % 2 != 0 || height % 2 != 0) {
        return "Cannot write film: " + path + " (H.264 and VP9 films need an even width and height, not " +
               std::to_string(width) + "x" + std::to_string(height) + ")";
    }
    if (std::string reason = file_.Begin(path); !reason.empty()) return Fail(reason);
    std::vector<std::string> argv = {ffmpeg,       "-hide_banner", "-nostats", "-loglevel", "error",
                                     "-f",         "rawvideo",     "-pix_fmt", "rgb24",     "-video_size",
                                     std::to_string(width) + "x" + std::to_string(height),
                                     "-framerate", options.fps,    "-i",       "pipe:0"};
    for (std::string& arg : EncodingArguments(path, options)) argv.push_back(std::move(arg));
    // ffmpeg writes the temporary file through the descriptor it is handed.
    for (std::string arg : {std::string("-metadata"), "comment=" + PartComment(part), std::string("-f"),
                            Container(path), std::string("-y"), std::string("/dev/fd/3")}) {
        argv.push_back(std::move(arg));
    }
    if (std::string reason = ffmpeg_.Start(argv, true, false, file_.Descriptor()); !reason.empty()) {
        return Fail("ffmpeg: " + reason);
    }
    frameBytes_ = static_cast<size_t>(width) * height * 3;
    return {};
}

std::string VideoEncoder::AddFrame(const imaging::Picture& frame) {
    if (!ffmpeg_.Running()) return Fail("not open");
    if (frame.Bytes().size() != frameBytes_) return Fail("a frame of another size");
    std::string reason;
    if (!WriteToPipe(ffmpeg_.Input(), frame.Bytes().data(), frameBytes_, reason)) {
        if (reason == "interrupted") return Fail(reason);
        const int status = ffmpeg_.Wait();
        return Fail("ffmpeg stopped, exit status " + std::to_string(status));
    }
    return {};
}

std::string VideoEncoder::Finish() {
    if (!ffmpeg_.Running()) return Fail("not open");
    const int status = ffmpeg_.Wait();
    if (status != 0) return Fail("ffmpeg failed, exit status " + std::to_string(status));
    if (std::string reason = file_.Commit(); !reason.empty()) return Fail(reason);
    return {};
}

void VideoEncoder::Abandon() {
    ffmpeg_.Stop();
    file_.Abandon();
}

std::string JoinFilms(const std::string& path, const std::vector<std::string>& parts) {
    const std::string ffmpeg = FindProgram("ffmpeg");
    const std::string ffprobe = FindProgram("ffprobe");
    if (ffmpeg.empty() || ffprobe.empty()) {
        return MissingProgram(ffmpeg.empty() ? "ffmpeg" : "ffprobe", "--join-video", "ffmpeg");
    }
    std::vector<std::pair<FilmPart, std::string>> halvaneParts;
    std::vector<std::string> others;
    FilmFacts first;
    for (const std::string& part : parts) {
        if (Interrupted()) return "interrupted";
        FilmFacts facts;
        if (std::string error = Probe(ffprobe, part, facts); !error.empty()) return "--join-video: " + error;
        if (first.stream.empty()) first = facts;
        if (facts.stream != first.stream) {
            return "--join-video: " + part + " (" + facts.stream + ") is not like " + parts.front() + " (" +
                   first.stream + ")";
        }
        const std::optional<FilmPart> label = PartFromComment(facts.comment);
        if (!label) {
            others.push_back(part);
            continue;
        }
        if (facts.packets != label->last - label->first + 1) {
            return "--join-video: " + part + " holds " + std::to_string(facts.packets) + " frames, not the " +
                   std::to_string(label->last - label->first + 1) + " of its " + Frames(label->first, label->last);
        }
        halvaneParts.emplace_back(*label, part);
    }
    if (!halvaneParts.empty() && !others.empty()) {
        return "--join-video: " + others.front() + " is no part made by halvane-render --video, " +
               halvaneParts.front().second + " is; join parts of one kind";
    }
    std::vector<std::string> ordered = others;
    std::string comment;
    if (!halvaneParts.empty()) {
        if (std::string error = OrderParts(halvaneParts); !error.empty()) return error;
        for (const auto& part : halvaneParts) ordered.push_back(part.second);
        const FilmPart& one = halvaneParts.front().first;
        comment = PartComment({0, one.frames - 1, one.frames, one.film});
    }

    // The list goes to a file of its own in the temporary folder.
    const char* folder = std::getenv("TMPDIR");
    std::string listPath = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/halvane-concat-XXXXXX";
    const int listFd = ::mkstemp(listPath.data());
    if (listFd < 0) return "--join-video: cannot make the list of parts: " + std::string(std::strerror(errno));
    const std::string list = ConcatList(ordered);
    const std::string written = imaging::WriteAll(listFd, reinterpret_cast<const uint8_t*>(list.data()), list.size());
    ::close(listFd);
    struct RemoveList {
        std::string path;
        ~RemoveList() { ::unlink(path.c_str()); }
    } removeList{listPath};
    if (!written.empty()) return "--join-video: cannot write the list of parts: " + written;

    imaging::FileReplacement file;
    if (std::string reason = file.Begin(path); !reason.empty()) return "Cannot write film: " + path + " (" + reason + ")";
    std::vector<std::string> argv = {ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-f", "concat",
                                     "-safe", "0", "-i", listPath, "-map", "0", "-c", "copy"};
    if (!comment.empty()) argv.insert(argv.end(), {"-metadata", "comment=" + comment});
    if (Container(path) == "mp4") argv.insert(argv.end(), {"-movflags", "+faststart"});
    argv.insert(argv.end(), {"-f", Container(path), "-y", "/dev/fd/3"});
    ChildProcess child;
    if (std::string reason = child.Start(argv, false, false, file.Descriptor()); !reason.empty()) {
        return "Cannot write film: " + path + " (ffmpeg: " + reason + ")";
    }
    const int status = child.Wait();
    if (Interrupted()) return "interrupted";
    if (status != 0) return "Cannot write film: " + path + " (ffmpeg failed, exit status " + std::to_string(status) + ")";
    if (std::string reason = file.Commit(); !reason.empty()) return "Cannot write film: " + path + " (" + reason + ")";
    return {};
}

int64_t CountFrames(const std::string& path, std::string& error) {
    const std::string ffprobe = FindProgram("ffprobe");
    if (ffprobe.empty()) {
        error = MissingProgram("ffprobe", "Counting frames", "ffmpeg");
        return -1;
    }
    FilmFacts facts;
    error = Probe(ffprobe, path, facts);
    return error.empty() ? facts.packets : -1;
}

}  // namespace render
