// Bounds-checked reading of bytes that come from outside the program (datagrams, files,
// registry values, driver replies). Every read checks the remaining length first; a failed
// read leaves the reader marked as failed and returns zero or an empty value, so a parser can
// read a whole record and test ok() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qz {

class ByteReader {
public:
    ByteReader(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    size_t size() const { return size_; }
    const uint8_t* current() const { return data_ + pos_; }

    bool need(size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return false;
        }
        return true;
    }
    bool skip(size_t n) {
        if (!need(n)) return false;
        pos_ += n;
        return true;
    }
    bool seek(size_t offset) {
        if (!ok_ || offset > size_) {
            ok_ = false;
            return false;
        }
        pos_ = offset;
        return true;
    }

    uint8_t u8() { return need(1) ? data_[pos_++] : 0; }
    uint16_t u16be() {
        if (!need(2)) return 0;
        uint16_t v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint16_t u16le() {
        if (!need(2)) return 0;
        uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32be() {
        if (!need(4)) return 0;
        uint32_t v = (uint32_t(data_[pos_]) << 24) | (uint32_t(data_[pos_ + 1]) << 16) |
                     (uint32_t(data_[pos_ + 2]) << 8) | uint32_t(data_[pos_ + 3]);
        pos_ += 4;
        return v;
    }
    uint32_t u32le() {
        if (!need(4)) return 0;
        uint32_t v = uint32_t(data_[pos_]) | (uint32_t(data_[pos_ + 1]) << 8) |
                     (uint32_t(data_[pos_ + 2]) << 16) | (uint32_t(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    // Copies n bytes into out; fails (and copies nothing) when fewer remain.
    bool bytes(void* out, size_t n) {
        if (!need(n)) return false;
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    // A text field of exactly `width` bytes, ending at its first NUL (or at the field's end).
    std::string fixedText(size_t width) {
        if (!need(width)) return {};
        const char* p = reinterpret_cast<const char*>(data_ + pos_);
        pos_ += width;
        return std::string(p, strnlen(p, width));
    }
    // A NUL-terminated text of at most `max` bytes before its terminator. Without a terminator
    // inside the data (or within max + 1 bytes), the read fails.
    std::string cstr(size_t max) {
        if (!ok_) return {};
        const char* p = reinterpret_cast<const char*>(data_ + pos_);
        size_t limit = remaining() < max + 1 ? remaining() : max + 1;
        size_t len = strnlen(p, limit);
        if (len == limit) {
            ok_ = false;
            return {};
        }
        pos_ += len + 1;
        return std::string(p, len);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace qz
