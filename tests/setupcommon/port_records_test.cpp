#include "port_records.h"

#include "fake_spooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using Values = std::map<std::string, std::pair<DWORD, std::string>>;  // name -> type, bytes

struct PortWriter {
    HKEY key;
    PortWriter& Dword(const char* name, DWORD v) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v);
        return *this;
    }
    PortWriter& Text(const char* name, const std::string& v) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), static_cast<DWORD>(v.size() + 1));
        return *this;
    }
    PortWriter& Binary(const char* name, const std::string& v) {
        RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(v.data()), static_cast<DWORD>(v.size()));
        return *this;
    }
};

Values ReadAll(const std::string& path) {
    Values values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[2048];
        DWORD chars = sizeof name, size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &chars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values[name] = {type, std::string(reinterpret_cast<char*>(data), size)};
    }
    RegCloseKey(key);
    return values;
}

std::string D(DWORD v) { return std::string(reinterpret_cast<char*>(&v), 4); }
std::string S(const std::string& v) { return v + '\0'; }

}  // namespace

TEST(PortRecords, EveryPrintModeSurvivesDeleteAndRecreate) {
    MonitorRecord monitor{};
    std::string name = "QzTestMon" + std::to_string(GetCurrentProcessId());
    lstrcpyA(monitor.keyPath, MonitorKeyPath(name.c_str()).c_str());
    std::string ports = std::string(monitor.keyPath) + "\\Ports";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, monitor.keyPath);  // Wine reuses process ids: a failed run's key
    GetPortName(nullptr, &monitor);  // no "Ports" key yet: nothing saved
    EXPECT_TRUE(monitor.portNames.empty());

    auto port = [&](const char* p) {
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (ports + "\\" + p).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        return PortWriter{key};
    };
    std::string mac("\x00\x11\x22\x33\x44\x55", 6);
    PortWriter w = port("lpr_full");
    w.Text("HostName", "10.77.0.5").Dword("NonRFCPorts", 1).Dword("NonSpool", 1).Text("PortName", "lp").Dword("PortNum", 515);
    w.Dword("PrintMode", 0).Dword("Timeout", 1234).Dword("NonByteCount", 1).Binary("Ethernet", mac);
    RegCloseKey(w.key);
    w = port("lpr_short");
    w.Dword("PrintMode", 0).Text("HostName", std::string(100, 'h')).Dword("PortNum", 515);
    RegCloseKey(w.key);
    w = port("ipp");
    w.Dword("Base64", 1).Dword("Chunked", 1).Dword("JobSheets", 2).Text("Language", "ja").Dword("MaxChunk", 4096);
    w.Dword("NonSpool", 0).Binary("PassWord", "p\x01w\x00d").Dword("PrintMode", 1).Text("ProxyName", "proxy");
    w.Dword("ProxyNum", 8080).Dword("Timeout", 60000).Text("URL", "http://10.77.0.5/ipp").Dword("UseProxy", 1);
    w.Text("UserName", "user");
    RegCloseKey(w.key);
    w = port("raw");
    w.Text("HostName", "10.77.0.6").Dword("NonSpool", 0).Dword("PortNum", 9100).Dword("PrintMode", 2).Dword("Timeout", 5);
    RegCloseKey(w.key);
    w = port("nomode");
    w.Text("HostName", "h").Text("PortName", "q").Dword("PortNum", 77);
    RegCloseKey(w.key);
    w = port("odd");
    w.Dword("PrintMode", 7);
    RegCloseKey(w.key);
    Values before[] = {ReadAll(ports + "\\lpr_full"), ReadAll(ports + "\\ipp"), ReadAll(ports + "\\raw")};

    GetPortName(nullptr, &monitor);
    EXPECT_EQ(monitor.portNames.size(), 6u);
    EXPECT_EQ(monitor.lpr.size(), 3u);
    EXPECT_EQ(monitor.ipp.size(), 1u);
    EXPECT_EQ(monitor.raw.size(), 1u);

    FakeSpooler spooler(ports);
    spooler.printers = {{"Office", "lpr_full"}};
    spooler.refusedPorts = {"LPT1:", "FILE:"};
    EXPECT_EQ(DeleteMonitorPorts(nullptr, &monitor), 0);  // a port still in use is never deleted
    EXPECT_TRUE(spooler.deleted.empty());
    spooler.refusedPorts = {"LPT1:"};
    spooler.printers = {{"Office", "raw"}, {"Other", "COM1:"}};
    ASSERT_EQ(DeleteMonitorPorts(nullptr, &monitor), 1);
    EXPECT_EQ(spooler.printers[0].port, "FILE:");  // off the port before it goes, to FILE: when LPT1: refuses
    EXPECT_EQ(spooler.printers[1].port, "COM1:");
    EXPECT_EQ(spooler.deleted.size(), 5u);  // the port of an unknown mode is left alone
    EXPECT_TRUE(ReadAll(ports + "\\raw").empty());

    CreateMonitorPorts(nullptr, nullptr, &monitor);
    EXPECT_EQ(ReadAll(ports + "\\lpr_full"), before[0]);
    EXPECT_EQ(ReadAll(ports + "\\ipp"), before[1]);
    EXPECT_EQ(ReadAll(ports + "\\raw"), before[2]);
    Values shortOne = ReadAll(ports + "\\lpr_short");
    EXPECT_EQ(shortOne["HostName"].second, S(std::string(64, 'h')));  // cut to the field, not emptied
    EXPECT_EQ(shortOne["Timeout"].second, D(180000));
    EXPECT_EQ(shortOne.count("Ethernet"), 0u);
    Values noMode = ReadAll(ports + "\\nomode");
    EXPECT_EQ(noMode["PrintMode"].second, D(0));
    EXPECT_EQ(noMode["PortNum"].second, D(PRIMARYLANGID(GetSystemDefaultLangID()) == LANG_JAPANESE ? 9 : 19541));
    EXPECT_EQ(noMode["Timeout"].second, D(900000));
    EXPECT_EQ(noMode["PortName"].second, S("q"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, monitor.keyPath);
}

TEST(PortRecords, NewPortNames) {
    const struct { const char* hex; int ok; uint8_t first; } kHex[] = {
        {"0011223344aB", 1, 0x00}, {"A0112233445F", 1, 0xA0}, {"00112233445", 0, 0}, {"0011223344556", 0, 0},
        {"0011223344GG", 0, 0}, {"", 0, 0},
    };
    for (const auto& h : kHex) {
        uint8_t bytes[6];
        EXPECT_EQ(HexToBytes(h.hex, bytes), h.ok) << h.hex;
        EXPECT_EQ(bytes[0], h.first) << h.hex;
    }
    const std::string lp = "192.168.0.10:lp";
    LprPortSettings saved{};
    lstrcpyA(saved.keyName, lp.c_str());
    std::memcpy(saved.ethernet, "\x00\x11\x22\x33\x44\xAB", 6);
    saved.ethernetLength = 6;
    const struct {
        const char* what;
        std::set<std::string> spooler;
        bool savedPort;
        const char* mac;
        const char* name;
        bool create;
    } kCases[] = {
        {"free", {}, false, "0011223344AA", "192.168.0.10:lp", true},
        {"in the spooler", {lp, lp + "-1"}, false, "0011223344AA", "192.168.0.10:lp-2", true},
        {"a saved port of another server", {}, true, "0011223344AA", "192.168.0.10:lp-1", true},
        {"the saved port of this server", {}, true, "0011223344ab", "192.168.0.10:lp", false},
        {"not a hardware address", {}, false, "12345", "", false},
    };
    for (const auto& c : kCases) {
        FakeSpooler spooler;
        spooler.ports = c.spooler;
        MonitorRecord monitor{};
        monitor.wasInstalled = 1;
        if (c.savedPort) {
            monitor.lpr.push_back(saved);
            monitor.portNames.push_back(lp);
        }
        NewPortRequest request{};
        lstrcpyA(request.hostAddress, "192.168.0.10");
        lstrcpyA(request.hardwareAddress, c.mac);
        MakeUniquePortName(nullptr, &request, &monitor);
        EXPECT_STREQ(request.newPortName, c.name) << c.what;
        EXPECT_EQ(request.create, c.create) << c.what;
        if (c.savedPort && !c.create) {
            EXPECT_STREQ(monitor.lpr[0].hostName, "192.168.0.10");
        }
    }
    FakeSpooler full;
    full.ports.insert(lp);
    for (int i = 1; i <= 29; ++i) full.ports.insert(lp + "-" + std::to_string(i));
    MonitorRecord monitor{};
    NewPortRequest request{};
    lstrcpyA(request.hostAddress, "192.168.0.10");
    lstrcpyA(request.hardwareAddress, "0011223344AA");
    MakeUniquePortName(nullptr, &request, &monitor);
    EXPECT_FALSE(request.create);  // every name taken: no port rather than an overwritten one

    char text[] = "lpr:mon:x";
    EXPECT_EQ(MakeMonitorName(text), 1);
    EXPECT_STREQ(text, "LPRMONX");
}
