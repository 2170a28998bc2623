#include "worker_pool.h"

#include <utility>

namespace engine {

namespace {
// Rows are short: a waiting thread first spins for a while (about a tenth
// of a millisecond) before it sleeps, so that the next row finds it awake.
// It does not yield: on a busy machine that hands the core away for long.
constexpr int kSpinsBeforeSleep = 2000;

inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}
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
    const uint32_t round = round_.load(std::memory_order_relaxed) + 1;
    state_.store((uint64_t{round} << 32) | kOpen, std::memory_order_release);
    round_.store(round, std::memory_order_release);
    round_.notify_all();
    RunTask(0);
    // No one joins from now on; wait for those inside.
    uint64_t state = state_.fetch_and(~kOpen, std::memory_order_acq_rel) & ~kOpen;
    for (int spins = 0; (state & kInside) != 0; ++spins) {
        if (spins < kSpinsBeforeSleep) {
            SpinPause();
        } else {
            state_.wait(state, std::memory_order_acquire);
        }
        state = state_.load(std::memory_order_acquire);
    }
    task_ = nullptr;
    std::exception_ptr fault;
    {
        std::lock_guard lock(faultMutex_);
        fault = std::exchange(fault_, nullptr);
    }
    if (fault) std::rethrow_exception(fault);
}

// What a task throws ends that thread's part only: the round still closes
// normally, and Run rethrows it.
void WorkerPool::RunTask(size_t worker) noexcept {
    try {
        (*task_)(worker);
    } catch (...) {
        std::lock_guard lock(faultMutex_);
        if (!fault_) fault_ = std::current_exception();
    }
}

void WorkerPool::ThreadLoop(size_t worker) {
    uint32_t last = 0;  // the last round joined or found closed
    for (;;) {
        for (int spins = 0; round_.load(std::memory_order_acquire) == last; ++spins) {
            if (spins < kSpinsBeforeSleep) {
                SpinPause();
            } else {
                round_.wait(last, std::memory_order_acquire);
            }
        }
        if (stopping_) return;
        uint64_t state = state_.load(std::memory_order_acquire);
        bool in = false;
        while (!in && (state & kOpen) != 0 && static_cast<uint32_t>(state >> 32) != last) {
            in = state_.compare_exchange_weak(state, state + 1, std::memory_order_acquire,
                                              std::memory_order_acquire);
        }
        last = static_cast<uint32_t>(state >> 32);
        if (!in) continue;
        RunTask(worker);
        // The last to leave a closed round wakes its caller.
        if (((state_.fetch_sub(1, std::memory_order_release) - 1) & (kOpen | kInside)) == 0) state_.notify_one();
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
