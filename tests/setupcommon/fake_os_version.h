// A scripted Windows for the OS code: its version, service pack, product type and bitness,
// answered the way the system's version test and GetVersionEx would.
#pragma once

#include "os_info.h"

#include <string>

struct FakeWindows {
    uint32_t major = 0, minor = 0, build = 0;
    uint16_t servicePack = 0;
    bool server = false;
    bool wide = false;
    bool versionTest = true;      // VerifyVersionInfo available
    bool getVersionEx = true;
    uint32_t platform = 2;        // 1: Windows 95/98/ME
    bool extendedWorks = true;    // GetVersionEx with the extended record
};

class FakeOsVersion final : public qz::OsVersionQuery {
public:
    explicit FakeOsVersion(const FakeWindows& w) : w_(w) { SetOsVersionSource(this); }
    ~FakeOsVersion() override { SetOsVersionSource(nullptr); }
    FakeOsVersion(const FakeOsVersion&) = delete;
    FakeOsVersion& operator=(const FakeOsVersion&) = delete;

    bool HasVersionTest() override { return w_.versionTest; }
    bool IsAtLeast(uint32_t major, uint32_t minor, uint16_t sp) override {
        if (w_.major != major) return w_.major > major;
        if (w_.minor != minor) return w_.minor > minor;
        return w_.servicePack >= sp;
    }
    bool IsServer() override { return w_.server; }
    bool Is64Bit() override { return w_.wide; }
    bool HasGetVersionEx() override { return w_.getVersionEx; }
    bool GetPlainVersion(qz::OsVersionRecord& out) override {
        if (!w_.getVersionEx) return false;
        Fill(out);
        return true;
    }
    bool GetExtendedVersion(qz::OsVersionRecord& out) override {
        if (!w_.getVersionEx || !w_.extendedWorks) return false;
        Fill(out);
        out.servicePackMajor = w_.servicePack;
        out.productType = w_.server ? 3 : 1;
        return true;
    }

private:
    void Fill(qz::OsVersionRecord& out) const {
        out.platformId = w_.platform;
        out.major = w_.major;
        out.minor = w_.minor;
        out.build = w_.build;
        out.servicePackText = w_.servicePack ? "Service Pack " + std::to_string(w_.servicePack) : "";
    }
    FakeWindows w_;
};
