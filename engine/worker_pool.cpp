#include "worker_pool.h"

namespace engine {

namespace {
// Rows are short: a waiting worker first yields for a while before it
// sleeps, so that the next row finds it awake.
constexpr int kSpinsBeforeSleep = 2000;
}  // namespace

WorkerPool::WorkerPool(size_t workers) {
    for (size_t i = 1; i < workers; ++i) threads_.emplace_back([this, i] { ThreadLoop(i); });
}

WorkerPool::~WorkerPool() {
    stopping_ = true;
    round_.fetch_add(1);
    round_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::Run(const std::function<void(size_t)>& task) {
    task_ = &task;
    pending_.store(static_cast<int>(threads_.size()));
    round_.fetch_add(1);
    round_.notify_all();
    task(0);
    for (int spins = 0; pending_.load() != 0; ++spins) {
        if (spins < kSpinsBeforeSleep) {
            std::this_thread::yield();
        } else {
            const int left = pending_.load();
            if (left != 0) pending_.wait(left);
        }
    }
    task_ = nullptr;
}

void WorkerPool::ThreadLoop(size_t worker) {
    uint64_t seen = 0;
    for (;;) {
        uint64_t now = round_.load();
        for (int spins = 0; now == seen; ++spins) {
            if (spins < kSpinsBeforeSleep) {
                std::this_thread::yield();
            } else {
                round_.wait(seen);
            }
            now = round_.load();
        }
        seen = now;
        if (stopping_) return;
        (*task_)(worker);
        if (pending_.fetch_sub(1) == 1) pending_.notify_one();
    }
}

JobThread::JobThread() : thread_([this] { Loop(); }) {}

JobThread::~JobThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void JobThread::Post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void JobThread::WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !running_; });
}

bool JobThread::Idle() const {
    std::lock_guard lock(mutex_);
    return queue_.empty() && !running_;
}

void JobThread::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to do
        std::function<void()> job = std::move(queue_.front());
        queue_.erase(queue_.begin());
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

}  // namespace engine
