// A client of the simulated bus driver's private code, for the bridge, the installer and the
// tests. Each object holds its own handle to one bus ("\\.\zkuptp" or "\\.\zkuptp_<tag>").
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "win_handles.h"
#include "zkuptp_sim.h"

namespace zksim {

// One control call as the driver logged it.
struct LoggedCall {
    uint32_t sequence = 0;
    uint32_t code = 0;
    uint32_t inputLength = 0;
    uint32_t outputLength = 0;
    std::vector<uint8_t> input;  // the first ZKUPTP_SIM_LOG_INPUT bytes sent
};

// "zkuptp" or "zkuptp_<tag>": the name to open a bus by (and to register with the library).
inline std::string BusName(uint32_t tag) {
    return tag ? std::string(ZKUPTP_SIM_MAIN_NAME) + "_" + std::to_string(tag) : ZKUPTP_SIM_MAIN_NAME;
}

inline DriverPortRequest PortName(uint32_t address, const char* location) {
    DriverPortRequest port = {};
    port.address = address;
    if (location) std::memcpy(port.location, location, strnlen(location, sizeof port.location - 1));
    return port;
}

class SimBusClient {
public:
    explicit SimBusClient(const std::string& name = ZKUPTP_SIM_MAIN_NAME) {
        std::string path = "\\\\.\\" + name;
        handle_.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    }
    bool ok() const { return handle_.valid(); }

    bool Send(const SimCommand& command, void* out = nullptr, DWORD outSize = 0, DWORD* got = nullptr) {
        DWORD bytes = 0;
        BOOL done = DeviceIoControl(handle_.get(), ZKUPTP_SIM_IOCTL, const_cast<SimCommand*>(&command),
                                    sizeof command, out, outSize, &bytes, nullptr);
        if (got) *got = bytes;
        return done != FALSE;
    }

    bool PortCommand(uint32_t command, uint32_t address, const char* location, uint32_t value = 0,
                     uint32_t value2 = 0, const wchar_t* text = nullptr) {
        SimCommand c = {};
        c.command = command;
        c.port = PortName(address, location);
        c.value = value;
        c.value2 = value2;
        if (text) {
            for (size_t i = 0; i < ZKUPTP_MAX_DEVICE_ID && text[i]; ++i) c.text[i] = static_cast<uint16_t>(text[i]);
        }
        return Send(c);
    }

    bool Attach(uint32_t address, const char* location, const wchar_t* deviceId,
                uint16_t state = ZKUPTP_STATE_ATTACHED) {
        return PortCommand(SIM_CMD_ATTACH, address, location, state, 0, deviceId);
    }
    bool Detach(uint32_t address, const char* location) { return PortCommand(SIM_CMD_DETACH, address, location); }
    bool SetState(uint32_t address, const char* location, uint16_t state) {
        return PortCommand(SIM_CMD_SET_STATE, address, location, state);
    }
    bool Hold(uint32_t address, const char* location, uint16_t state, bool on = true) {
        return PortCommand(SIM_CMD_HOLD, address, location, state, on ? 1 : 0);
    }
    bool Lose(uint32_t address, const char* location) { return PortCommand(SIM_CMD_LOSE, address, location); }
    bool SetPortInfo(uint32_t address, const char* location, uint8_t comPort, uint32_t value) {
        return PortCommand(SIM_CMD_SET_PORT_INFO, address, location, comPort, value);
    }
    bool SetBlackout(uint32_t address, const char* location, uint16_t time) {
        return PortCommand(SIM_CMD_SET_BLACKOUT, address, location, time);
    }
    bool SetIdCounts(uint32_t address, const char* location, uint32_t sizing, uint32_t reading) {
        return PortCommand(SIM_CMD_SET_ID_COUNTS, address, location, sizing, reading);
    }
    bool Simple(uint32_t command, uint32_t value = 0, uint32_t value2 = 0) {
        SimCommand c = {};
        c.command = command;
        c.value = value;
        c.value2 = value2;
        return Send(c);
    }
    bool Fail(uint32_t code, uint32_t count = 1) { return Simple(SIM_CMD_FAIL, code, count); }
    bool Reset() { return Simple(SIM_CMD_RESET); }
    bool ClearLog() { return Simple(SIM_CMD_CLEAR_LOG); }
    bool OpenBus(uint32_t tag) { return Simple(SIM_CMD_OPEN_BUS, tag); }
    bool CloseBus(uint32_t tag) { return Simple(SIM_CMD_CLOSE_BUS, tag); }

    bool Values(SimValues* values) {
        SimCommand c = {};
        c.command = SIM_CMD_GET_VALUES;
        DWORD got = 0;
        return Send(c, values, sizeof *values, &got) && got == sizeof *values;
    }

    // Every port of the bus; empty when the call fails.
    std::vector<SimPortInfo> Ports() {
        SimCommand c = {};
        c.command = SIM_CMD_LIST_PORTS;
        std::vector<uint8_t> out(sizeof(uint32_t) + ZKUPTP_SIM_MAX_PORTS * sizeof(SimPortInfo));
        DWORD got = 0;
        std::vector<SimPortInfo> ports;
        if (!Send(c, out.data(), static_cast<DWORD>(out.size()), &got)) return ports;
        qz::ByteReader reader(out.data(), got <= out.size() ? got : 0);
        uint32_t count = reader.u32le();
        for (uint32_t i = 0; i < count && reader.ok(); ++i) {
            SimPortInfo info;
            if (reader.bytes(&info, sizeof info)) ports.push_back(info);
        }
        return ports;
    }

    // The logged calls from sequence number `first` on, oldest first.
    std::vector<LoggedCall> Log(uint32_t first = 0) {
        std::vector<LoggedCall> calls;
        std::vector<uint8_t> out(64 * 1024);
        for (;;) {
            SimCommand c = {};
            c.command = SIM_CMD_READ_LOG;
            c.value = first;
            DWORD got = 0;
            if (!Send(c, out.data(), static_cast<DWORD>(out.size()), &got)) return calls;
            qz::ByteReader reader(out.data(), got <= out.size() ? got : 0);
            uint32_t next = reader.u32le();
            uint32_t count = reader.u32le();
            for (uint32_t i = 0; i < count && reader.ok(); ++i) {
                LoggedCall call;
                call.sequence = reader.u32le();
                call.code = reader.u32le();
                call.inputLength = reader.u32le();
                call.outputLength = reader.u32le();
                uint32_t stored = reader.u32le();
                if (!reader.need(stored)) break;
                call.input.assign(reader.current(), reader.current() + stored);
                reader.skip(stored);
                first = call.sequence + 1;
                calls.push_back(std::move(call));
            }
            if (!reader.ok() || count == 0 || first >= next) return calls;
        }
    }
    // The sequence number the next call will get.
    uint32_t NextSequence() {
        SimCommand c = {};
        c.command = SIM_CMD_READ_LOG;
        c.value = 0xFFFFFFFFu;
        SimLogHeader header = {};
        DWORD got = 0;
        if (!Send(c, &header, sizeof header, &got) || got < sizeof header) return 0;
        return header.nextSequence;
    }

private:
    qz::FileHandle handle_;
};

}  // namespace zksim
