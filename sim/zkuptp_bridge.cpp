// The bridge between the device-server simulator (and the tests) and the simulated bus driver.
// A real device server reaches the PC's bus driver when it attaches or detaches a USB device;
// the simulator does the same by sending this program one text command per UDP datagram. The
// bridge passes it to the driver through the driver's private code and answers with one
// datagram: "OK ..." or "ERR <reason>".
//
//   zkuptp_bridge.exe [--bind ADDRESS] [--port N] [--bus NAME | --new-bus TAG] [--seconds N]
//     --bind     address to listen on (default 127.0.0.1; 10.77.0.1 for the test network)
//     --port     UDP port (default 49400; 0 = any free port)
//     --bus      bus to steer: "zkuptp" (default) or the "zkuptp_<tag>" of a test
//     --new-bus  open a fresh bus "zkuptp_<TAG>" for this run and close it at the end
//     --seconds  the bridge ends by itself after this long (default 600)
//   Once listening it prints "ready <port>" on its standard output.
//
// Commands (IP = dotted IPv4 of the server, LOC = the port's location text, at most 15 chars):
//   ping                              -> OK pong
//   attach IP LOC DEVICEID [STATE] [pnp=KIND classes=.. dot4=1 desc=..]
//                                     attach a port with its bus device id (state default 2);
//                                     with a profile (see devtree_writer.h) the device-tree
//                                     nodes of the device are written below DEVICEID
//   detach IP LOC                     remove the port (its nodes stay, not present)
//   pnp IP LOC problem N | vetoes N | removable 0|1 | late MS | clear | show
//                                     script the port's bus node (now and at later attaches):
//                                     its problem code, eject vetoes before one succeeds, its
//                                     removable flag, children written MS after the attach;
//                                     show -> OK N, then "ID service=.. parent=.. port=.. desc=.."
//   state IP LOC STATE                set the port's state (0, 1, 2, 4)
//   hold IP LOC STATE                 report STATE for the port whatever happens next
//   release IP LOC                    end a hold
//   lose IP LOC                       the driver lost the port: its queries fail until attached
//   com IP LOC COM [VALUE]            COM number and value of the long status query
//   blackout IP LOC MS                time the blackout query reports
//   idcounts IP LOC SIZING READING    byte counts the device id calls report ("-" = the true one)
//   fail CODE [COUNT]                 the next COUNT (default 1) calls of CODE fail; CODE is the
//                                     control code (0x80602150) or "read"; COUNT 0 clears
//   ports                             -> OK N, then one line per port
//   values                            -> OK ownership=.. release=.. hid=MODE,V0,V1 hidcalls=N
//   log [FROM]                        -> OK NEXT, then "SEQ CODE INLEN OUTLEN HEXBYTES" per call
//   clearlog | reset | quit
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "port_trees.h"
#include "sim_bus_client.h"

namespace {

constexpr uint16_t kDefaultPort = 49400;
constexpr DWORD kDefaultSeconds = 600;
constexpr size_t kMaxReply = 60000;  // stays below the largest UDP datagram

struct Options {
    std::string bind = "127.0.0.1";
    uint16_t port = kDefaultPort;
    std::string bus = ZKUPTP_SIM_MAIN_NAME;
    uint32_t newBus = 0;  // tag of a bus of this run's own; 0 = none
    DWORD seconds = kDefaultSeconds;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--bind") options->bind = value;
        else if (name == "--port") options->port = static_cast<uint16_t>(std::strtoul(value, nullptr, 10));
        else if (name == "--bus") options->bus = value;
        else if (name == "--new-bus") options->newBus = std::strtoul(value, nullptr, 10);
        else if (name == "--seconds") options->seconds = std::strtoul(value, nullptr, 10);
        else return false;
    }
    return argc % 2 == 1;
}

bool ParseAddress(const std::string& text, uint32_t* address) {
    in_addr value = {};
    if (inet_pton(AF_INET, text.c_str(), &value) != 1) return false;
    *address = value.s_addr;  // network byte order, as the library holds it
    return true;
}

std::string AddressText(uint32_t address) {
    const auto* b = reinterpret_cast<const uint8_t*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

bool ParseNumber(const std::string& text, uint32_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0') return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

std::wstring Wide(const std::string& text) {
    wchar_t out[ZKUPTP_MAX_DEVICE_ID + 1] = {};
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out, ZKUPTP_MAX_DEVICE_ID);
    return out;
}

std::string Narrow(const uint16_t* text, size_t capacity) {
    std::string out;
    for (size_t i = 0; i < capacity && text[i]; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

std::string Result(bool ok) { return ok ? "OK" : "ERR driver refused"; }

std::string ListPorts(zksim::SimBusClient& bus) {
    std::vector<SimPortInfo> ports = bus.Ports();
    std::ostringstream out;
    out << "OK " << ports.size();
    for (const SimPortInfo& p : ports) {
        out << "\n" << AddressText(p.port.address) << " " << std::string(p.port.location, strnlen(p.port.location, 16))
            << " state=" << p.state << " attached=" << int(p.attached) << " lost=" << int(p.lost)
            << " held=" << int(p.held) << " com=" << int(p.comPort) << " blackout=" << p.blackout
            << " value=" << p.value << " id=" << Narrow(p.deviceId, ZKUPTP_MAX_DEVICE_ID + 1);
    }
    return out.str();
}

std::string Values(zksim::SimBusClient& bus) {
    SimValues v = {};
    if (!bus.Values(&v)) return "ERR driver refused";
    char text[160];
    std::snprintf(text, sizeof text, "OK ownership=0x%08x release=%u hid=%u,%u,%u hidcalls=%u ports=%u",
                  v.ownershipInterface, v.ownershipReleaseTime, v.hidMode, v.hidValues[0], v.hidValues[1], v.hidCalls,
                  v.portCount);
    return text;
}

// As many logged calls as fit one datagram; NEXT is where the following read starts.
std::string ReadLog(zksim::SimBusClient& bus, uint32_t first) {
    std::vector<zksim::LoggedCall> calls = bus.Log(first);
    std::string lines;
    uint32_t next = first;
    for (const zksim::LoggedCall& call : calls) {
        char head[64];
        std::snprintf(head, sizeof head, "\n%u 0x%08x %u %u ", call.sequence, call.code, call.inputLength,
                      call.outputLength);
        std::string line = head;
        for (uint8_t b : call.input) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            line += hex;
        }
        if (lines.size() + line.size() + 16 > kMaxReply) break;
        lines += line;
        next = call.sequence + 1;
    }
    if (calls.empty()) next = bus.NextSequence();
    return "OK " + std::to_string(next) + lines;
}

struct Bridge {
    zksim::SimBusClient& bus;
    devtree::PortTrees& trees;
};

std::string Attach(Bridge& bridge, uint32_t address, const std::string& port, const std::vector<std::string>& words) {
    if (words.size() < 4) return "ERR expected IP LOC DEVICEID [STATE] [pnp=PROFILE ...]";
    uint32_t state = 2;
    size_t next = 4;
    if (words.size() > 4 && words[4].find('=') == std::string::npos) {
        if (!ParseNumber(words[4], &state)) return "ERR bad state";
        ++next;
    }
    if (!bridge.bus.Attach(address, words[2].c_str(), Wide(words[3]).c_str(), static_cast<uint16_t>(state ? state : 2)))
        return Result(false);
    std::string error = bridge.trees.Attached(port, words[3], {words.begin() + static_cast<ptrdiff_t>(next), words.end()});
    return error.empty() ? "OK" : "ERR " + error;
}

// Commands that name a port: IP LOC [ARGS...].
std::string PortCommand(Bridge& bridge, const std::string& verb, const std::vector<std::string>& words) {
    zksim::SimBusClient& bus = bridge.bus;
    uint32_t address = 0;
    if (words.size() < 3 || !ParseAddress(words[1], &address)) return "ERR expected IP LOC";
    const std::string& location = words[2];
    if (location.size() >= ZKUPTP_LOCATION_SIZE) return "ERR location longer than 15 characters";
    const char* loc = location.c_str();
    std::string port = AddressText(address) + " " + location;
    uint32_t a = 0, b = 0;
    if (verb == "attach") return Attach(bridge, address, port, words);
    if (verb == "detach") {
        bridge.trees.Detached(port);
        return Result(bus.Detach(address, loc));
    }
    if (verb == "pnp") return bridge.trees.Command(port, {words.begin() + 3, words.end()});
    if (verb == "lose") return Result(bus.Lose(address, loc));
    if (verb == "release") return Result(bus.Hold(address, loc, 0, false));
    if (verb == "idcounts") {
        if (words.size() < 5) return "ERR expected IP LOC SIZING READING";
        a = b = ZKUPTP_SIM_NO_OVERRIDE;
        if ((words[3] != "-" && !ParseNumber(words[3], &a)) || (words[4] != "-" && !ParseNumber(words[4], &b)))
            return "ERR bad count";
        return Result(bus.SetIdCounts(address, loc, a, b));
    }
    if (words.size() < 4 || !ParseNumber(words[3], &a)) return "ERR expected a number";
    if (verb == "state") return Result(bus.SetState(address, loc, static_cast<uint16_t>(a)));
    if (verb == "hold") return Result(bus.Hold(address, loc, static_cast<uint16_t>(a), true));
    if (verb == "blackout") return Result(bus.SetBlackout(address, loc, static_cast<uint16_t>(a)));
    if (verb == "com") {
        if (words.size() > 4 && !ParseNumber(words[4], &b)) return "ERR bad value";
        return Result(bus.SetPortInfo(address, loc, static_cast<uint8_t>(a), b));
    }
    return "ERR unknown command";
}

std::string Execute(Bridge& bridge, const std::string& text, bool* quit) {
    zksim::SimBusClient& bus = bridge.bus;
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return "ERR empty command";
    const std::string& verb = words[0];
    uint32_t a = 0, b = 1;
    if (verb == "ping") return "OK pong";
    if (verb == "quit") {
        *quit = true;
        return "OK bye";
    }
    if (verb == "ports") return ListPorts(bus);
    if (verb == "values") return Values(bus);
    if (verb == "reset") {
        bridge.trees.RemoveAll();
        return Result(bus.Reset());
    }
    if (verb == "clearlog") return Result(bus.ClearLog());
    if (verb == "log") {
        if (words.size() > 1 && !ParseNumber(words[1], &a)) return "ERR bad sequence number";
        return ReadLog(bus, a);
    }
    if (verb == "fail") {
        if (words.size() < 2) return "ERR expected CODE [COUNT]";
        if (words[1] == "read") a = ZKUPTP_SIM_READ_CODE;
        else if (!ParseNumber(words[1], &a)) return "ERR bad code";
        if (words.size() > 2 && !ParseNumber(words[2], &b)) return "ERR bad count";
        return Result(bus.Fail(a, b));
    }
    static const char* const kPortVerbs[] = {"attach", "detach",   "state",    "hold", "release",
                                             "lose",   "com",      "blackout", "idcounts", "pnp"};
    for (const char* portVerb : kPortVerbs)
        if (verb == portVerb) return PortCommand(bridge, verb, words);
    return "ERR unknown command";
}

int Serve(const Options& options) {
    zksim::SimBusClient bus(options.bus);
    if (!bus.ok()) {
        std::fprintf(stderr, "zkuptp_bridge: cannot open \\\\.\\%s (error %lu)\n", options.bus.c_str(), GetLastError());
        return 1;
    }
    qz::Socket sock(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(options.port);
    if (!sock.valid() || inet_pton(AF_INET, options.bind.c_str(), &local.sin_addr) != 1 ||
        bind(sock.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::fprintf(stderr, "zkuptp_bridge: cannot listen on %s:%u\n", options.bind.c_str(), options.port);
        return 1;
    }
    int length = sizeof local;
    getsockname(sock.get(), reinterpret_cast<sockaddr*>(&local), &length);
    std::printf("ready %u\n", ntohs(local.sin_port));
    std::fflush(stdout);

    devtree::PortTrees trees(options.bus);
    Bridge bridge{bus, trees};
    ULONGLONG end = GetTickCount64() + ULONGLONG{options.seconds} * 1000;
    std::vector<char> datagram(2048);
    for (bool quit = false; !quit;) {
        trees.RunDue();
        ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        DWORD timeout = static_cast<DWORD>(end - now < 1000 ? end - now : 1000);
        timeout = std::max<DWORD>(1, std::min(timeout, trees.MsUntilDue()));
        setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        sockaddr_in peer = {};
        int peerLength = sizeof peer;
        int n = recvfrom(sock.get(), datagram.data(), static_cast<int>(datagram.size()), 0,
                         reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (n < 0) continue;
        std::string reply = Execute(bridge, std::string(datagram.data(), n), &quit);
        sendto(sock.get(), reply.data(), static_cast<int>(reply.size()), 0, reinterpret_cast<sockaddr*>(&peer),
               peerLength);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: zkuptp_bridge [--bind ADDRESS] [--port N] [--bus NAME] [--seconds N]\n");
        return 2;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
    zksim::SimBusClient main;
    if (options.newBus) {
        if (!main.OpenBus(options.newBus)) {
            std::fprintf(stderr, "zkuptp_bridge: cannot open bus %u\n", options.newBus);
            return 1;
        }
        options.bus = zksim::BusName(options.newBus);
    }
    int rc = Serve(options);
    if (options.newBus) main.CloseBus(options.newBus);
    WSACleanup();
    return rc;
}
