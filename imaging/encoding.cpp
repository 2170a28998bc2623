// What the encoders share: their sinks and buffers, and encoding the pieces
// of a file on several threads while the finished ones are written in order.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "codecs.h"
#include "file_access.h"

namespace imaging {

namespace {
std::atomic<int> encoderThreads{0};
}

void SetEncoderThreads(int threads) { encoderThreads = std::max(0, threads); }

int EncoderThreads() {
    const int requested = encoderThreads;
    return requested > 0 ? requested : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void VectorSink::Expect(size_t bytes) {
    try {
        bytes_.reserve(bytes_.size() + bytes);
    } catch (const std::exception&) {
        // Only a hint: growing as the pieces come does as well.
    }
}

bool VectorSink::Put(const uint8_t* data, size_t size) {
    try {
        bytes_.insert(bytes_.end(), data, data + size);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

size_t MemorySource::Read(uint64_t offset, void* buffer, size_t count) {
    if (offset >= size_) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

size_t FileSource::Read(uint64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count && offset + done < size_) {
        const ssize_t got = pread(fd_, static_cast<uint8_t*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error_ = std::strerror(errno);
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

bool FileSink::Put(const uint8_t* data, size_t size) {
    if (!error_.empty()) return false;
    if (pending_.size() + size <= kGather) {
        pending_.insert(pending_.end(), data, data + size);
        return true;
    }
    return Flush() && Write(data, size);
}

bool FileSink::Flush() {
    const bool ok = pending_.empty() || Write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
}

bool FileSink::Write(const uint8_t* data, size_t size) {
    error_ = WriteAll(fd_, data, size);
    return error_.empty();
}

uint8_t* ByteBuffer::Extend(size_t count) {
    if (count > capacity_ - size_) {
        const size_t capacity = std::max(2 * capacity_, size_ + count);
        std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
        if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    size_ += count;
    return data_.get() + size_ - count;
}

std::string EncodeInOrder(size_t count, const std::function<void(size_t, ByteBuffer&)>& make, ByteSink& sink) {
    const size_t workers = std::min(count, static_cast<size_t>(EncoderThreads()));
    if (workers <= 1) {
        ByteBuffer buffer;
        for (size_t i = 0; i < count; ++i) {
            buffer.Clear();
            try {
                make(i, buffer);
            } catch (const std::bad_alloc&) {
                return "out of memory";
            }
            if (!sink.Put(buffer.Data(), buffer.Size())) return kSinkRefused;
        }
        return "";
    }

    // Workers make the pieces while this thread writes them in order; a
    // piece's buffer is taken again once the piece so many places before
    // it is written.
    const size_t slots = 2 * workers;
    std::vector<ByteBuffer> buffers(slots);
    std::vector<char> made(slots, 0);
    std::mutex mutex;
    std::condition_variable changed;
    size_t claimed = 0, written = 0;
    bool outOfMemory = false, stop = false;

    auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stop || claimed >= count || claimed < written + slots; });
            if (stop || claimed >= count) return;
            const size_t piece = claimed++;
            ByteBuffer& buffer = buffers[piece % slots];
            lock.unlock();
            bool ok = true;
            buffer.Clear();
            try {
                make(piece, buffer);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
            lock.lock();
            if (!ok) outOfMemory = stop = true;
            made[piece % slots] = 1;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    try {
        for (size_t t = 0; t < workers; ++t) threads.emplace_back(work);
    } catch (const std::exception&) {
        if (threads.empty()) return "out of memory";
    }

    bool refused = false;
    for (size_t piece = 0; piece < count && !refused; ++piece) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || made[piece % slots]; });
        if (stop) break;
        lock.unlock();
        const ByteBuffer& buffer = buffers[piece % slots];
        refused = !sink.Put(buffer.Data(), buffer.Size());
        lock.lock();
        made[piece % slots] = 0;
        written = piece + 1;
        changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads) thread.join();
    if (outOfMemory) return "out of memory";
    return refused ? kSinkRefused : "";
}

}  // namespace imaging
