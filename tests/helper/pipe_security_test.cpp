// The Everyone rule of the helper pipe: canonical position in the DACL, no duplicate, and no
// rights beyond reading and writing data.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "pipe_security.h"

namespace {

constexpr BYTE kCallbackAceType = 9;  // an allow ACE outside the canonical kinds

struct AceEntry {
    BYTE type;
    BYTE flags;
    const char* sid;
    DWORD mask;
};

struct Sid {
    explicit Sid(const char* text) { ConvertStringSidToSidA(text, &sid); }
    ~Sid() { LocalFree(sid); }
    PSID sid = nullptr;
};

std::vector<uint8_t> BuildAcl(const std::vector<AceEntry>& aces) {
    std::vector<uint8_t> bytes(1024, 0);
    auto* acl = reinterpret_cast<PACL>(bytes.data());
    InitializeAcl(acl, static_cast<DWORD>(bytes.size()), ACL_REVISION);
    for (const AceEntry& entry : aces) {
        Sid sid(entry.sid);
        DWORD sidLength = GetLengthSid(sid.sid);
        std::vector<uint8_t> ace(offsetof(ACCESS_ALLOWED_ACE, SidStart) + sidLength, 0);
        auto* header = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace.data());
        header->Header.AceType = entry.type;
        header->Header.AceFlags = entry.flags;
        header->Header.AceSize = static_cast<WORD>(ace.size());
        header->Mask = entry.mask;
        CopySid(sidLength, &header->SidStart, sid.sid);
        EXPECT_TRUE(AddAce(acl, ACL_REVISION, MAXDWORD, ace.data(), static_cast<DWORD>(ace.size())));
    }
    return bytes;
}

// "type/flags/sid" of each ACE, in order.
std::vector<std::string> Describe(const ACL* acl) {
    std::vector<std::string> out;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* entry = nullptr;
        GetAce(const_cast<PACL>(acl), i, &entry);
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        char* sid = nullptr;
        ConvertSidToStringSidA(&ace->SidStart, &sid);
        out.push_back(std::to_string(ace->Header.AceType) + "/" + std::to_string(ace->Header.AceFlags) + "/" + sid);
        LocalFree(sid);
    }
    return out;
}

TEST(PipeSecurity, InsertsTheEveryoneRuleInCanonicalOrder) {
    const DWORD rule = kEveryonePipeAccess;
    const std::string everyone = "0/0/S-1-1-0";
    struct Case {
        const char* name;
        std::vector<AceEntry> aces;
        std::vector<std::string> expected;  // empty: DACL unchanged
    } cases[] = {
        {"empty", {}, {everyone}},
        {"after deny", {{ACCESS_DENIED_ACE_TYPE, 0, "S-1-5-18", GENERIC_ALL}}, {"1/0/S-1-5-18", everyone}},
        {"before the first allow",
         {{ACCESS_DENIED_ACE_TYPE, 0, "S-1-5-18", GENERIC_ALL}, {ACCESS_ALLOWED_ACE_TYPE, 0, "S-1-5-32-544", GENERIC_ALL}},
         {"1/0/S-1-5-18", everyone, "0/0/S-1-5-32-544"}},
        {"before inherited entries",
         {{ACCESS_DENIED_ACE_TYPE, INHERITED_ACE, "S-1-5-18", GENERIC_ALL},
          {ACCESS_ALLOWED_ACE_TYPE, INHERITED_ACE, "S-1-5-32-544", GENERIC_ALL}},
         {everyone, "1/16/S-1-5-18", "0/16/S-1-5-32-544"}},
        {"other kind first: at the end",
         {{kCallbackAceType, 0, "S-1-5-18", GENERIC_ALL}, {ACCESS_ALLOWED_ACE_TYPE, 0, "S-1-5-32-544", GENERIC_ALL}},
         {"9/0/S-1-5-18", "0/0/S-1-5-32-544", everyone}},
        {"Everyone with other rights", {{ACCESS_ALLOWED_ACE_TYPE, 0, "S-1-1-0", GENERIC_READ}},
         {everyone, "0/0/S-1-1-0"}},
        {"rule present", {{ACCESS_ALLOWED_ACE_TYPE, 0, "S-1-5-32-544", GENERIC_ALL}, {ACCESS_ALLOWED_ACE_TYPE, 0, "S-1-1-0", rule}},
         {}},
    };
    PSID sid = CreateEveryoneSid();
    ASSERT_NE(sid, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> old = BuildAcl(c.aces);
        bool unchanged = false;
        std::vector<uint8_t> result =
            AclWithAllowedAce(c.aces.empty() ? nullptr : reinterpret_cast<PACL>(old.data()), sid, rule, &unchanged);
        if (c.expected.empty()) {
            EXPECT_TRUE(unchanged);
            EXPECT_TRUE(result.empty());
            continue;
        }
        ASSERT_FALSE(result.empty());
        EXPECT_TRUE(IsValidAcl(reinterpret_cast<PACL>(result.data())));
        EXPECT_EQ(Describe(reinterpret_cast<PACL>(result.data())), c.expected);
    }
    FreeSid(sid);
}

}  // namespace
