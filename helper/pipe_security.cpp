#include "pipe_security.h"

#include <aclapi.h>

#include <cstring>

#include "win_handles.h"

namespace {

// Canonical order: explicit deny, explicit allow, then the same for inherited ACEs.
// -1 for an ACE kind outside that order.
int AceRank(const ACE_HEADER* ace) {
    int rank;
    switch (ace->AceType) {
    case ACCESS_DENIED_ACE_TYPE: rank = 0; break;
    case ACCESS_DENIED_OBJECT_ACE_TYPE: rank = 1; break;
    case ACCESS_ALLOWED_ACE_TYPE: rank = 2; break;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE: rank = 3; break;
    default: return -1;
    }
    return (ace->AceFlags & INHERITED_ACE) ? rank + 4 : rank;
}

bool SameAce(const ACE_HEADER* ace, const std::vector<uint8_t>& wanted) {
    const auto* want = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(wanted.data());
    if (ace->AceType != want->Header.AceType || ace->AceFlags != want->Header.AceFlags ||
        ace->AceSize != want->Header.AceSize) {
        return false;
    }
    const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
    return allowed->Mask == want->Mask &&
           EqualSid(const_cast<DWORD*>(&allowed->SidStart), const_cast<DWORD*>(&want->SidStart));
}

std::vector<uint8_t> BuildAllowedAce(PSID sid, DWORD mask) {
    DWORD sidLength = GetLengthSid(sid);
    size_t size = offsetof(ACCESS_ALLOWED_ACE, SidStart) + sidLength;
    std::vector<uint8_t> bytes(size, 0);
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(bytes.data());
    ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->Header.AceFlags = 0;
    ace->Header.AceSize = static_cast<WORD>(size);
    ace->Mask = mask;
    CopySid(sidLength, &ace->SidStart, sid);
    return bytes;
}

}  // namespace

PSID CreateEveryoneSid() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid)) return nullptr;
    return sid;
}

std::vector<uint8_t> AclWithAllowedAce(const ACL* dacl, PSID sid, DWORD mask, bool* unchanged) {
    if (unchanged) *unchanged = false;
    if (!sid || !IsValidSid(sid)) return {};
    PACL old = const_cast<PACL>(dacl);
    if (old && !IsValidAcl(old)) return {};
    std::vector<uint8_t> ace = BuildAllowedAce(sid, mask);
    DWORD count = old ? old->AceCount : 0;

    // Where the new ACE goes, and whether it is there already.
    DWORD insertAt = count;
    bool placed = false;
    for (DWORD i = 0; i < count; ++i) {
        void* entry = nullptr;
        if (!GetAce(old, i, &entry)) return {};
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (SameAce(header, ace)) {
            if (unchanged) *unchanged = true;
            return {};
        }
        if (placed) continue;
        int rank = AceRank(header);
        if (rank < 0) {
            placed = true;  // an ACE outside the canonical kinds: append after everything
        } else if (rank >= 2) {
            insertAt = i;
            placed = true;
        }
    }

    ACL_SIZE_INFORMATION sizes = {};
    DWORD oldBytes = sizeof(ACL);
    if (old) {
        if (!GetAclInformation(old, &sizes, sizeof sizes, AclSizeInformation)) return {};
        oldBytes = sizes.AclBytesInUse;
    }
    DWORD newSize = (oldBytes + static_cast<DWORD>(ace.size()) + sizeof(DWORD) - 1) & ~(sizeof(DWORD) - 1);
    std::vector<uint8_t> result(newSize, 0);
    auto* acl = reinterpret_cast<PACL>(result.data());
    DWORD revision = (old && old->AclRevision > ACL_REVISION) ? old->AclRevision : ACL_REVISION;
    if (!InitializeAcl(acl, newSize, revision)) return {};
    for (DWORD i = 0; i <= count; ++i) {
        if (i == insertAt && !AddAce(acl, revision, MAXDWORD, ace.data(), static_cast<DWORD>(ace.size()))) return {};
        if (i == count) break;
        void* entry = nullptr;
        if (!GetAce(old, i, &entry)) return {};
        if (!AddAce(acl, revision, MAXDWORD, entry, static_cast<const ACE_HEADER*>(entry)->AceSize)) return {};
    }
    return result;
}

int GrantEveryonePipeAccess(PSID sid, HANDLE pipe) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return 0;
    }
    qz::LocalBlock descriptorOwner(descriptor);
    // A null DACL (which Wine gives a new pipe) is taken as an empty one: the pipe ends up
    // open to Everyone with the rule's rights only.
    bool unchanged = false;
    std::vector<uint8_t> acl = AclWithAllowedAce(dacl, sid, kEveryonePipeAccess, &unchanged);
    if (unchanged) return 1;
    if (acl.empty()) return 0;
    return SetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                           reinterpret_cast<PACL>(acl.data()), nullptr) == ERROR_SUCCESS;
}
