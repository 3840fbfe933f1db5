// The toast texts: the countdown's minutes and seconds, which name goes where, and the fitting
// that shortens the first name.
#include <gtest/gtest.h>

#include <string>

#include "request_text.h"

namespace {

TEST(RequestText, CountdownShowsRoundedUpMinutesAboveThirtySeconds) {
    const struct {
        uint32_t seconds;
        const wchar_t* expected;
    } cases[] = {
        {45, L"1 min"}, {31, L"1 min"}, {30, L"30 s"}, {0, L"0 s"}, {61, L"2 min"}, {180, L"3 min"}, {121, L"3 min"},
        // A peer's seconds field is any 32-bit number.
        {0xFFFFFFFFu, L"71582789 min"}, {0xFFFFFFC5u, L"71582788 min"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountdownText(L"%s min", L"%s s", c.seconds), c.expected) << c.seconds;
    }
}

TEST(RequestText, OtherPcFirstDeviceSecondAndHostileFormatsStayInert) {
    const std::wstring pc = L"PC-B";
    EXPECT_EQ(FormatRequestText(L"Asking %s to release %s.", L"Printer", &pc), L"Asking PC-B to release Printer.");
    EXPECT_EQ(FormatRequestText(L"%s is gone.", L"Printer", nullptr), L"Printer is gone.");
    EXPECT_EQ(FormatRequestText(L"%s %s %s %n %d", L"Printer", &pc), L"PC-B Printer  %n %d");
}

TEST(RequestText, FirstNameIsShortenedWithEllipsisUntilItFits) {
    const std::wstring pc = L"PC";
    std::vector<std::wstring> tried;
    auto fitsIn = [&](size_t limit) {
        return [&tried, limit](const std::wstring& text) {
            tried.push_back(text);
            return text.size() <= limit;
        };
    };
    EXPECT_EQ(FitRequestText(L"%s: %s", L"ABCDEFGHIJKLMNOPQRST", &pc, fitsIn(100)), L"PC: ABCDEFGHIJKLMNOPQRST");
    tried.clear();
    // 20 characters: 19, then 11, then 3 are kept.
    EXPECT_EQ(FitRequestText(L"%s: %s", L"ABCDEFGHIJKLMNOPQRST", &pc, fitsIn(10)), L"PC: ABC...");
    ASSERT_EQ(tried.size(), 4u);
    EXPECT_EQ(tried[1], L"PC: ABCDEFGHIJKLMNOPQRS...");
    EXPECT_EQ(tried[2], L"PC: ABCDEFGHIJK...");
    tried.clear();
    EXPECT_EQ(FitRequestText(L"%s", L"ABCDEFGHIJ", nullptr, fitsIn(0)), L"...");
}

}  // namespace
