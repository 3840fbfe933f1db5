// The connect and disconnect commands of one interface: the command record, its data as the
// server reads it, the exchange, and the run over every interface of a device with the bus
// driver waits that follow each command.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "connect_target.h"

struct ConnectRequest;

constexpr uint16_t kKeepAlivePort = 49235;
// Flags of the connect parameters.
constexpr uint8_t kConnectFlagServerFlag = 0x1;
constexpr uint8_t kConnectFlagKeepAlive = 0x2;
// ConnectCommand::flags: the property asks for the server flag.
constexpr uint16_t kCommandFlagServerFlag = 0x4;
// Server function word: keep-alive supported.
constexpr uint16_t kServerFunctionKeepAlive = 0x4;

struct ConnectCommand {
    uint32_t address = 0;           // connect: this PC toward the server; disconnect: the user
    uint16_t protocolPort = 0;
    uint32_t serverAddress = 0;     // network byte order
    uint16_t level = 0;
    uint8_t hardwareAddress[6] = {};
    uint16_t serverFunction = 0;
    std::string model;
    std::string port;
    std::string location;
    uint16_t status = 0;
    uint32_t userAddress = 0;
    uint16_t flags = 0;
    uint8_t comPort = 0;
};

// The level-4 extension a caller may hand over with a connect: its buffer begins with a u16
// of 1 and a pointer to this record.
#pragma pack(push, 1)
struct ConnectExtension {
    uint16_t value16;
    uint32_t value32;
};
struct ConnectCallerBuffer {
    uint16_t kind;                  // 1: `extension` is set
    const ConnectExtension* extension;
};
#pragma pack(pop)
static_assert(sizeof(ConnectExtension) == 6);
static_assert(offsetof(ConnectCallerBuffer, extension) == 2);

// The command's 12-byte fixed part and its parameters (pure). False when the command text and
// its data would not fit the request's command field.
bool BuildConnectCommandData(const ConnectCommand& command, bool connect, const ConnectExtension* extension,
                             uint8_t prefix[12], std::vector<uint8_t>* params);

// The record of interface `index` of the target.
ConnectCommand FillConnectCommand(const ConnectTarget& target, size_t index, bool connect);

// Sends one command; the answer code (0 OK, 1 NG, 2 DENY, -1 no answer). A connect goes out
// only for a free device and a disconnect only for one this PC uses; the other cases are
// answered here (success for the state already reached, NG otherwise).
int SendConnectCommand(HWND logWindow, bool connect, const ConnectCommand& command, const ConnectExtension* extension);

// Runs the command over every interface with the driver waits. True on success; *code is the
// ConnectResult on failure (6, or 9 when the server denied).
bool RunConnectDisconnect(const ConnectRequest& request, const ConnectTarget& target, uint16_t* code);

// The extension a request's caller buffer hands over, or null.
const ConnectExtension* RequestExtension(const ConnectRequest& request);
