// The threads that compute a row together, and the thread that lets a row
// be computed while its caller goes on with other work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

// Runs one task on every worker index at once and waits for all of them.
// The calling thread takes index 0, so a pool of one starts no thread.
class WorkerPool {
public:
    explicit WorkerPool(size_t workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    size_t Size() const { return threads_.size() + 1; }
    // Not reentrant: one Run at a time.
    void Run(const std::function<void(size_t worker)>& task);

private:
    void ThreadLoop(size_t worker);

    std::vector<std::thread> threads_;
    std::atomic<uint64_t> round_{0};
    std::atomic<int> pending_{0};
    std::atomic<bool> stopping_{false};
    const std::function<void(size_t)>* task_ = nullptr;
};

// One thread that runs the jobs posted to it, one after another.
class JobThread {
public:
    JobThread();
    // Finishes the job in hand first.
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    void Post(std::function<void()> job);
    // Returns once no job is waiting or running.
    void WaitUntilIdle();
    bool Idle() const;

private:
    void Loop();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::function<void()>> queue_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace engine
