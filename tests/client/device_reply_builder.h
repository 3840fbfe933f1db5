// Builds device-list replies byte by byte from their layout, for the parser's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device_list_parse.h"

struct ReplyDevice {
    std::string port = "1";
    std::string name = "Disk";
    uint8_t user[4] = {0, 0, 0, 0};   // as on the wire
    uint16_t flags = kReplyFlagPresent;
    uint16_t vid = 0x0A5C;
    uint16_t pid = 0x0001;
    std::string location = "1-1";
    uint16_t interfaceClass = 8;
    uint16_t interfaceSubclass = 6;
    std::string serial = "SN0001";
};

class DeviceReply {
public:
    explicit DeviceReply(DeviceListForm form) : form_(form) { bytes_.push_back(0); }

    DeviceReply& Add(const ReplyDevice& d) {
        bytes_[0]++;
        Text(d.port);
        Text(d.name);
        bytes_.insert(bytes_.end(), d.user, d.user + 4);
        bytes_.push_back(static_cast<uint8_t>(d.flags));  // the one little-endian number
        bytes_.push_back(static_cast<uint8_t>(d.flags >> 8));
        if (form_ != DeviceListForm::Plain) Be16(0xBEEF);
        Be16(d.vid);
        Be16(d.pid);
        Fixed(d.location, 16);
        Be16(d.interfaceClass);
        if (form_ == DeviceListForm::ExII) Be16(d.interfaceSubclass);
        if (form_ == DeviceListForm::Ex) Fixed(d.serial, 64);
        if (form_ == DeviceListForm::ExII) Fixed(d.serial, 80);
        bytes_.insert(bytes_.end(), {0xDE, 0xAD, 0xBE, 0xEF});
        return *this;
    }
    DeviceReply& Count(uint8_t count) {
        bytes_[0] = count;
        return *this;
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    DeviceListForm form() const { return form_; }

private:
    void Text(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
    }
    void Be16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
        bytes_.push_back(static_cast<uint8_t>(v));
    }
    // Exactly `width` bytes: the text cut or zero-padded, with no terminator when it fills it.
    void Fixed(const std::string& text, size_t width) {
        for (size_t i = 0; i < width; ++i) bytes_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }

    DeviceListForm form_;
    std::vector<uint8_t> bytes_;
};

// A reply device with the given port, location and name; everything else at its default.
inline ReplyDevice Device(const char* port, const char* location, const char* name = "Disk") {
    ReplyDevice d;
    d.port = port;
    d.location = location;
    d.name = name;
    return d;
}
