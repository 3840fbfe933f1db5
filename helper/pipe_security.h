// The access rule that lets every user's client library write to the helper pipe.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// What Everyone may do with the pipe: read and write its data. Not WRITE_DAC or WRITE_OWNER
// (anyone could re-secure the pipe) and not FILE_CREATE_PIPE_INSTANCE (anyone could serve a
// second instance and take the records).
constexpr DWORD kEveryonePipeAccess = FILE_GENERIC_READ | FILE_WRITE_DATA;

// The well-known SID of Everyone (S-1-1-0), freed with FreeSid.
PSID CreateEveryoneSid();

// The DACL `dacl` (null: an empty one) with an access-allowed ACE for `sid` and `mask`, placed
// before the first explicit or inherited allow ACE (after the deny ACEs), or at the end when an
// ACE of another kind comes first. Empty when the DACL already holds that ACE or on failure;
// `unchanged` tells the two apart.
std::vector<uint8_t> AclWithAllowedAce(const ACL* dacl, PSID sid, DWORD mask, bool* unchanged);

// Adds the Everyone rule to the pipe's DACL. 1 on success (also when the rule was there), else 0.
int GrantEveryonePipeAccess(PSID sid, HANDLE pipe);
