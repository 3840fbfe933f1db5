// Feeds arbitrary datagrams to the search reply parser and checks what it hands on: every
// text terminated inside its field, the extra data inside its block, the words derived from
// it computable. The whole input is also read as a version text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "search_reply.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

template <size_t N>
void CheckTerminated(const char (&text)[N]) {
    Check(strnlen(text, N) < N);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SearchReply reply;
    bool parsed = ParseSearchReply(data, size, &reply);
    Check(parsed == (size >= 4));
    CheckTerminated(reply.model);
    CheckTerminated(reply.hostName);
    CheckTerminated(reply.versionText);
    CheckTerminated(reply.firmware);
    Check(strlen(reply.model) <= 15);
    Check(strlen(reply.versionText) <= 10);
    Check(reply.extraLength <= sizeof reply.extra);
    Check(reply.extraKind <= kExtraSixtyFour);
    if (reply.extraKind == kExtraSeven) Check(reply.extraLength == kExtraSevenBytes);
    if (reply.extraKind != kExtraSixtyFour) Check(reply.firmware[0] == '\0');

    uint16_t function = 0;
    uint16_t status = 0;
    ModelTableWords(reply.model, reply.functionFlags, &function, &status);
    Check((function & ~0xF) == 0 && (status & ~0x1) == 0);
    if (reply.versionValid && ReplyVersionAccepted(reply.version)) {
        uint16_t level = RwpLevel(reply.version);
        Check(level >= 2 && level <= 4);
    }

    ReplyVersion version;
    ParseReplyVersion(reinterpret_cast<const char*>(data), size, &version);
    return 0;
}
