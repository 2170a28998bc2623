// The worker pool: a thread takes part in a round at most once, the caller
// always does, and nothing of a round runs after Run has returned.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "worker_pool.h"

namespace {

TEST(WorkerPool, EachThreadTakesPartInARoundAtMostOnceAndNoneAfterIt) {
    constexpr size_t kThreads = 3;
    constexpr int kRounds = 2000;
    engine::WorkerPool pool(kThreads);
    std::vector<std::array<std::atomic<int>, kThreads>> ran(kRounds);
    std::atomic<int> current{-1};
    std::atomic<bool> late{false};
    for (int round = 0; round < kRounds; ++round) {
        current = round;
        const std::function<void(size_t)> task = [&, round](size_t worker) {
            auto& counts = ran[static_cast<size_t>(round)];
            counts[worker].fetch_add(1);
            // Run must not return while any part is still running.
            for (int i = 0; i < 1000; ++i) {
                if (current.load() != round) late = true;
            }
            // Now and then the caller's part lasts until another thread has
            // joined, so that the round stays open after that one's part.
            if (worker == 0 && round % 50 == 0) {
                while (counts[1].load() + counts[2].load() == 0) std::this_thread::yield();
            }
        };
        pool.Run(task);
        current = -1;
    }
    EXPECT_FALSE(late);
    int joined = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto& counts = ran[static_cast<size_t>(round)];
        EXPECT_EQ(counts[0].load(), 1) << "round " << round;
        for (size_t worker = 1; worker < kThreads; ++worker) {
            EXPECT_LE(counts[worker].load(), 1) << "round " << round << ", thread " << worker;
            joined += counts[worker].load();
        }
    }
    EXPECT_GE(joined, kRounds / 50);
}

}  // namespace
