// Records that clients write to the helper pipe: only whole records count, texts end inside
// their fields whatever the client sent.
#include <gtest/gtest.h>

#include <string>

#include "pipe_request.h"
#include "test_printers.h"

namespace {

using helper_test::RecordBytes;

struct ParseCase {
    const char* name;
    std::string bytes;
    bool parsed;
    uint16_t code;
    std::string driver;
    std::string port;
};

TEST(PipeRecord, ParsesOnlyWholeRecordsAndTerminatesTheTexts) {
    const ParseCase cases[] = {
        {"library record", RecordBytes(1, "Office Laser", "USB001"), true, 1, "Office Laser", "USB001"},
        {"one byte short", RecordBytes(1, "Office Laser", "USB001").substr(0, 289), false, 0, "", ""},
        {"second record dropped", RecordBytes(2, "A", "USB002") + RecordBytes(1, "B", "USB003"), true, 2, "A",
         "USB002"},
        {"unterminated fields", RecordBytes(1, std::string(256, 'd'), std::string(32, 'p')), true, 1,
         std::string(255, 'd'), std::string(31, 'p')},
        {"stop code", RecordBytes(0xFFFF, "", ""), true, 0xFFFF, "", ""},
        {"nothing", std::string(), false, 0, "", ""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto request = ParsePipeRecord(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(request.has_value(), c.parsed);
        if (!request) continue;
        EXPECT_EQ(request->code, c.code);
        EXPECT_EQ(request->driver, c.driver);
        EXPECT_EQ(request->port, c.port);
    }
    EXPECT_FALSE(ParsePipeRecord(nullptr, 290).has_value());
}

}  // namespace
