// IPv4 and hardware-address texts for the harness's commands and results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness_commands.h"

namespace harness {

// "a.b.c.d" as a u32 with a in the most significant byte; false for anything else.
bool ParseDotted(const std::string& text, uint32_t* value);
// The dotted text of a u32 whose most significant byte is the first octet.
std::string DottedText(uint32_t value);
// The dotted text of an address kept in network byte order (its bytes as they are in memory).
std::string DottedNetworkText(uint32_t networkOrder);
// "AA:BB:CC:DD:EE:FF".
std::string HardwareText(const uint8_t* address);
// The positional words of a command from index `first` on ("key=value" words left out).
std::vector<std::string> Positional(const Args& args, size_t first);

}  // namespace harness
