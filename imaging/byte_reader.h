// Bounds-checked little- and big-endian reads from a byte buffer. Reads past
// the end never touch memory outside the buffer; they set the failed flag.
// The writers' little-endian stores are here too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imaging {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Size() const { return size_; }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool Failed() const { return failed_; }
    const uint8_t* Here() const { return data_ + pos_; }

    // Moves to `position`; a position past the end fails and moves to the end.
    void Seek(size_t position) {
        if (position > size_) {
            failed_ = true;
            pos_ = size_;
        } else {
            pos_ = position;
        }
    }
    void Skip(size_t count) {
        if (count > Remaining()) {
            failed_ = true;
            pos_ = size_;
        } else {
            pos_ += count;
        }
    }
    bool Has(size_t count) const { return count <= Remaining(); }
    // The next byte without taking it, or -1 at the end.
    int Peek() const { return pos_ < size_ ? data_[pos_] : -1; }

    uint8_t U8() {
        if (pos_ >= size_) {
            failed_ = true;
            return 0;
        }
        return data_[pos_++];
    }
    uint16_t U16le() {
        const uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    uint32_t U32le() {
        const uint32_t low = U16le();
        return low | (static_cast<uint32_t>(U16le()) << 16);
    }
    int32_t S32le() { return static_cast<int32_t>(U32le()); }
    uint16_t U16be() {
        const uint16_t high = U8();
        return static_cast<uint16_t>((high << 8) | U8());
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// Little-endian stores into memory the caller has sized; each returns the
// byte after the value.
inline uint8_t* PutU16le(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    return p + 2;
}
inline uint8_t* PutU32le(uint8_t* p, uint32_t value) { return PutU16le(PutU16le(p, value & 0xFFFF), value >> 16); }

}  // namespace imaging
