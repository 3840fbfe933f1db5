// Parsing of the records that clients write to the helper pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "helper_pipe_record.h"

// One record as the service acts on it; the texts are cut at the last byte of their fields.
struct PipeRequest {
    uint16_t code = 0;
    std::string driver;  // at most 255 characters
    std::string port;    // at most 31 characters
};

// The first record of the bytes a client wrote; nothing when fewer than a whole record arrived.
// Bytes after the first record are ignored.
std::optional<PipeRequest> ParsePipeRecord(const void* data, size_t size);
