// Builds search replies byte by byte, laid out as a device server sends them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "search_reply.h"

class ReplyBuilder {
public:
    ReplyBuilder() : bytes_(kReplyParsedBytes, 0) {
        U16(kReplyTypeOffset, kSearchReplyType);
        U16(kReplyRuleOffset, 0x9506);
        Text(kReplyVersionOffset, "Ver 2.4.0", 10);
        Mac({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
        Ipv4(10, 77, 0, 10);
        Text(kReplyModelOffset, "QZ-100", 15);
        Text(kReplyHostOffset, "host-a", 16);
    }

    ReplyBuilder& U16(size_t offset, uint16_t value) {
        Grow(offset + 2);
        bytes_[offset] = static_cast<uint8_t>(value >> 8);
        bytes_[offset + 1] = static_cast<uint8_t>(value);
        return *this;
    }
    ReplyBuilder& Byte(size_t offset, uint8_t value) {
        Grow(offset + 1);
        bytes_[offset] = value;
        return *this;
    }
    // Writes the text and zero-fills the rest of a field of `width` bytes.
    ReplyBuilder& Text(size_t offset, const std::string& text, size_t width) {
        Grow(offset + width);
        std::memset(&bytes_[offset], 0, width);
        std::memcpy(&bytes_[offset], text.data(), text.size() < width ? text.size() : width);
        return *this;
    }
    ReplyBuilder& Rule(uint16_t rule) { return U16(kReplyRuleOffset, rule); }
    ReplyBuilder& Version(const std::string& text) { return Text(kReplyVersionOffset, text, 10); }
    ReplyBuilder& Model(const std::string& text) { return Text(kReplyModelOffset, text, 15); }
    ReplyBuilder& Host(const std::string& text) { return Text(kReplyHostOffset, text, 16); }
    ReplyBuilder& Flags(uint16_t flags) { return U16(kReplyFlagsOffset, flags); }
    ReplyBuilder& FunctionFlags(uint16_t flags) {
        Byte(kReplyFunctionFlagsOffset, static_cast<uint8_t>(flags));
        return Byte(kReplyFunctionFlagsOffset + 1, static_cast<uint8_t>(flags >> 8));
    }
    ReplyBuilder& Storage(bool on) { return Byte(kReplyStorageOffset, on ? 1 : 0); }
    ReplyBuilder& Ipv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        Byte(kReplyIpv4Offset, a);
        Byte(kReplyIpv4Offset + 1, b);
        Byte(kReplyIpv4Offset + 2, c);
        return Byte(kReplyIpv4Offset + 3, d);
    }
    ReplyBuilder& Mac(std::initializer_list<uint8_t> mac) {
        size_t i = 0;
        for (uint8_t b : mac) Byte(kReplyHardwareOffset + i++, b);
        return *this;
    }
    ReplyBuilder& Length(size_t n) {
        bytes_.resize(n, 0);
        return *this;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }

private:
    void Grow(size_t n) {
        if (bytes_.size() < n) bytes_.resize(n, 0);
    }
    std::vector<uint8_t> bytes_;
};
