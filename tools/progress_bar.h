// A progress bar on the terminal: done of total, and the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace render {

class ProgressBar {
public:
    ProgressBar(bool show, const char* unit) : show_(show), unit_(unit) {}

    void Show(int64_t done, int64_t total) {
        if (!show_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double left = done > 0 ? elapsed * static_cast<double>(total - done) / static_cast<double>(done) : 0.0;
        constexpr int kBarWidth = 30;
        const int filled = total > 0 ? static_cast<int>(kBarWidth * done / total) : kBarWidth;
        std::fprintf(stderr, "\r[%.*s%.*s] %s %lld/%lld, %.1f s left ", filled, "##############################",
                     kBarWidth - filled, "..............................", unit_, static_cast<long long>(done),
                     static_cast<long long>(total), left);
        if (done >= total) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

    // Ends a bar left unfinished (an interrupted run) with its line.
    void Stop() {
        if (show_ && lastDraw_ != start_) std::fputc('\n', stderr);
        show_ = false;
    }

private:
    bool show_;
    const char* unit_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_ = start_;
};

}  // namespace render
