// The threads that compute a row together, and the thread that lets a row
// be computed while its caller goes on with other work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

// Runs a task on the calling thread and on the worker threads that join in
// while the caller's own part of it runs. The calling thread takes index 0,
// so a pool of one starts no thread.
class WorkerPool {
public:
    explicit WorkerPool(size_t workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    size_t Size() const { return threads_.size() + 1; }
    // Runs `task` on index 0 and on every worker thread that joins before
    // task(0) returns; then returns once each thread that joined is done.
    // The task must let whoever runs it take over whatever work is left, so
    // that a thread the system holds up joins no more and holds up no one.
    // Not reentrant: one Run at a time. What a thread's task throws is
    // rethrown here, after every thread has left (the first one only).
    void Run(const std::function<void(size_t worker)>& task);

private:
    // state_ holds the round's number (upper half), kOpen while the round
    // takes threads, and the number of threads inside the task.
    static constexpr uint64_t kOpen = uint64_t{1} << 31;
    static constexpr uint64_t kInside = kOpen - 1;

    void ThreadLoop(size_t worker);
    void RunTask(size_t worker) noexcept;

    std::vector<std::thread> threads_;
    std::atomic<uint64_t> state_{0};
    std::atomic<uint32_t> round_{0};  // announces each round to waiting threads
    std::atomic<bool> stopping_{false};
    const std::function<void(size_t)>* task_ = nullptr;
    std::mutex faultMutex_;
    std::exception_ptr fault_;
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
