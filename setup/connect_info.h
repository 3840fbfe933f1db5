// The script's CONNECT value: where the Connect page keeps its yes/no answer.
#pragma once

#include "setup_context.h"

#include <string>

struct ConnectInfo {
    HKEY root;
    std::string subKey;
    std::string valueName;
    bool presetFirst;  // the first choice is preset ("ON", also when the field is missing)
    bool pageOn;       // the page asks ("ON"; a missing field is off)
};

// The fields of one CONNECT value; false when the root is unknown or a required field is empty.
bool ParseConnectValue(const std::string& value, ConnectInfo* info);
// `ReadConnectInfo`: the value of the first ticked application that has one.
int ReadConnectInfo(const SetupContext& context, ConnectInfo* info);
