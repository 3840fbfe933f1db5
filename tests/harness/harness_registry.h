// The registry's table and the line splitter, for the harness's main file.
#pragma once

#include <map>
#include <string>

#include "harness_commands.h"

namespace harness {

struct CommandEntry {
    std::string usage;
    CommandHandler handler = nullptr;
};

std::map<std::string, CommandEntry>& Commands();

// Splits a command line into the command name and its words.
Args SplitWords(const std::string& line, std::string* command);

}  // namespace harness
