// The worker pool: a thread takes part in a round at most once, the caller
// always does, and nothing of a round runs after Run has returned.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <stdexcept>
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

// WaitUntilIdle returns only once the job taken from the queue has ended,
// whether it was still waiting or already running when the wait began.
TEST(JobThread, WaitUntilIdleWaitsForTheRunningJob) {
    engine::JobThread thread;
    for (const bool startedFirst : {true, false}) {
        std::atomic<bool> started{false};
        std::atomic<bool> done{false};
        thread.Post([&] {
            started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            done = true;
        });
        if (startedFirst)
            while (!started) std::this_thread::yield();
        thread.WaitUntilIdle();
        EXPECT_TRUE(done) << (startedFirst ? "running" : "queued");
        EXPECT_TRUE(thread.Idle());
    }
}

// What a part of a round throws comes back from Run, after the round, and
// the pool serves the next round as before.
TEST(WorkerPool, AThrowingPartIsRethrownByRunAfterTheRound) {
    engine::WorkerPool pool(3);
    for (const size_t thrower : {size_t{0}, size_t{1}}) {
        std::atomic<int> inside{0};
        std::atomic<bool> lateLeaver{false};
        const std::function<void(size_t)> task = [&](size_t worker) {
            ++inside;
            if (worker == thrower) {
                --inside;
                throw std::runtime_error("part " + std::to_string(worker));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --inside;
        };
        bool caught = false;
        try {
            pool.Run(task);
        } catch (const std::runtime_error&) {
            caught = true;
            lateLeaver = inside.load() != 0;
        }
        // Thread 1 may not have joined the round at all; the caller always has.
        if (thrower == 0) {
            EXPECT_TRUE(caught);
        }
        EXPECT_FALSE(lateLeaver);
        std::atomic<int> ran{0};
        pool.Run([&](size_t) { ++ran; });
        EXPECT_GE(ran.load(), 1);
    }
}

}  // namespace
