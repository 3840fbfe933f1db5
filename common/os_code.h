// The Windows release as one small code (0 unknown, 1 Windows 95 ... 17 Windows Server on the
// 10.0 kernel) with two flags, shared by the install tools and the utility. The decision works
// on answers from an OsVersionQuery, so each program passes its own Windows calls (narrow or
// wide) and tests drive every release through a scripted one.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

constexpr uint32_t kOsFlagSecurityLevel = 0x1;  // XP SP2 / Server 2003 SP1 level or later
constexpr uint32_t kOsFlag64Bit = 0x2;

// The answers of one GetVersionEx call (plain or extended record).
struct OsVersionRecord {
    uint32_t platformId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string servicePackText;
    uint16_t servicePackMajor = 0;  // extended record only
    uint16_t servicePackMinor = 0;
    uint8_t productType = 0;        // 1 workstation, 2 domain controller, 3 server
};

// What the OS code asks of the running Windows. The production version passes each question
// straight to the system.
class OsVersionQuery {
public:
    virtual ~OsVersionQuery() = default;
    // VerSetConditionMask and VerifyVersionInfo can both be found.
    virtual bool HasVersionTest() = 0;
    // At least major.minor, and at least servicePack at that same major.minor.
    virtual bool IsAtLeast(uint32_t major, uint32_t minor, uint16_t servicePack) = 0;
    virtual bool IsServer() = 0;
    virtual bool Is64Bit() = 0;
    virtual bool HasGetVersionEx() = 0;
    virtual bool GetPlainVersion(OsVersionRecord& out) = 0;
    virtual bool GetExtendedVersion(OsVersionRecord& out) = 0;
};

struct OsCodeResult {
    int code = 0;
    uint32_t flags = 0;
    bool recorded = false;  // major, minor and the service pack below are valid
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t servicePack = 0;
    std::string servicePackText;
};

namespace detail {

inline uint32_t HighestServicePack(OsVersionQuery& q, uint32_t major, uint32_t minor, uint16_t highest) {
    for (uint16_t sp = highest; sp > 0; --sp) {
        if (q.IsAtLeast(major, minor, sp)) return sp;
    }
    return 0;
}

inline OsCodeResult OsCodeByVersionTest(OsVersionQuery& q) {
    OsCodeResult r;
    auto row = [&](uint32_t major, uint32_t minor) {
        r.recorded = true;
        r.major = major;
        r.minor = minor;
    };
    struct ModernRow {
        uint32_t major, minor;
        int workstation;
        uint16_t highestSp;
    };
    static constexpr ModernRow kModern[] = {{10, 0, 16, 0}, {6, 3, 14, 0}, {6, 2, 12, 0}, {6, 1, 10, 1}, {6, 0, 8, 2}};
    for (const ModernRow& m : kModern) {
        if (!q.IsAtLeast(m.major, m.minor, 0)) continue;
        row(m.major, m.minor);
        r.code = q.IsServer() ? m.workstation + 1 : m.workstation;
        r.flags = kOsFlagSecurityLevel | (q.Is64Bit() ? kOsFlag64Bit : 0);
        r.servicePack = HighestServicePack(q, m.major, m.minor, m.highestSp);
        return r;
    }
    if (q.IsAtLeast(5, 2, 0)) {
        bool server = q.IsServer();
        bool wide = q.Is64Bit();
        if (server || wide) {
            row(5, 2);
            r.code = server ? 7 : 6;
            r.servicePack = HighestServicePack(q, 5, 2, server ? 1 : 2);
            r.flags = (wide ? kOsFlag64Bit : 0) | (r.servicePack >= 1 ? kOsFlagSecurityLevel : 0);
            return r;
        }
    }
    if (q.IsAtLeast(5, 1, 0)) {
        row(5, 1);
        r.code = 6;
        r.servicePack = HighestServicePack(q, 5, 1, 3);
        r.flags = r.servicePack >= 2 ? kOsFlagSecurityLevel : 0;
        return r;
    }
    if (q.IsAtLeast(5, 0, 0)) {
        row(5, 0);
        r.code = 5;
        r.servicePack = HighestServicePack(q, 5, 0, 4);
        return r;
    }
    return r;
}

// The whole number after "Service Pack " in a service-pack text, 0 when there is none.
inline uint32_t ServicePackFromText(const std::string& text) {
    static const char kPrefix[] = "Service Pack ";
    constexpr size_t kLen = sizeof kPrefix - 1;
    if (text.size() <= kLen || text.compare(0, kLen, kPrefix) != 0) return 0;
    uint32_t n = 0;
    for (size_t i = kLen; i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 100000; ++i) {
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

inline OsCodeResult OsCodeByVersionRecord(OsVersionQuery& q) {
    OsCodeResult r;
    OsVersionRecord plain;
    if (!q.GetPlainVersion(plain)) return r;
    if (plain.platformId == 1) {  // Windows 95, 98 and ME
        r.code = plain.minor == 0 ? 1 : plain.minor == 90 ? 3 : 2;
        return r;
    }
    if (plain.platformId != 2) return r;
    if (plain.major == 4) {
        r.code = 4;
        return r;
    }
    OsVersionRecord ex;
    if (!q.GetExtendedVersion(ex)) return r;
    bool workstation = ex.productType == 1;
    bool wide = q.Is64Bit();
    if (ex.major == 5) {
        if (ex.minor == 0) {
            r.code = 5;
        } else if (ex.minor == 1) {
            r.code = 6;
            if (ex.servicePackMajor >= 2) r.flags |= kOsFlagSecurityLevel;
        } else if (ex.minor == 2) {
            r.code = ex.productType == 3 ? 7 : 6;
            if (ex.servicePackMajor >= 1 && (ex.productType == 3 || workstation)) r.flags |= kOsFlagSecurityLevel;
            if (wide) r.flags |= kOsFlag64Bit;
        } else {
            return r;
        }
    } else if (ex.major == 6) {
        static constexpr int kByMinor[] = {8, 10, 12, 14};
        int base = kByMinor[ex.minor < 3 ? ex.minor : 3];
        r.code = workstation ? base : base + 1;
        r.flags = kOsFlagSecurityLevel | (wide ? kOsFlag64Bit : 0);
    } else {
        r.code = workstation ? 16 : 17;
        r.flags = kOsFlagSecurityLevel | (wide ? kOsFlag64Bit : 0);
    }
    r.recorded = true;
    r.major = ex.major;
    r.minor = ex.minor;
    r.servicePackText = ex.servicePackText;
    r.servicePack = ServicePackFromText(ex.servicePackText);
    return r;
}

}  // namespace detail

inline OsCodeResult ComputeOsCode(OsVersionQuery& q) {
    if (q.HasVersionTest()) return detail::OsCodeByVersionTest(q);
    if (q.HasGetVersionEx()) return detail::OsCodeByVersionRecord(q);
    return {};
}

// The display name of a code: "Windows 95" ... "Windows Server", "Unknown OS" otherwise.
inline const char* OsCodeName(int code) {
    static const char* const kNames[] = {"Unknown OS",     "Windows 95",   "Windows 98",     "Windows ME",
                                         "Windows NT",     "Windows 2000", "Windows XP",     "Windows 2003",
                                         "Windows Vista",  "Windows 2008", "Windows 7",      "Windows 2008R2",
                                         "Windows 8",      "Windows 2012", "Windows 8.1",    "Windows 2012R2",
                                         "Windows 10",     "Windows Server"};
    return code >= 0 && code <= 17 ? kNames[code] : kNames[0];
}

}  // namespace qz
