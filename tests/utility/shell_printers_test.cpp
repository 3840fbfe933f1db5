// The printer list of the shell's printers folder, against a scripted folder and spooler.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "shell_printers.h"

namespace {

class ScriptedPrinters : public ShellPrinterSource {
public:
    bool Open() override { return ++opened, true; }
    std::vector<ShellPrinterItem> Items() override { return items; }
    bool ReadPrinter(const std::wstring& name, std::wstring* driver, std::wstring* port) override {
        auto it = spooler.find(name);
        if (it == spooler.end()) return false;
        *driver = it->second.first;
        *port = it->second.second;
        return true;
    }
    void Close() override { ++closed; }

    std::vector<ShellPrinterItem> items;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> spooler;
    int opened = 0, closed = 0;
};

TEST(ShellPrinters, CountsOpenablePrintersAndStopsAtTheCallersCapacity) {
    ScriptedPrinters source;
    source.items = {{L"Office Laser", 3, false, false},
                    {L"Fax folder item", 4, false, true},  // a file-system object: skipped
                    {L"Gone Printer", 5, false, false},    // does not open: skipped
                    {L"Label Printer", 6, true, true},
                    {std::wstring(400, L'p'), 7, false, false}};
    source.spooler = {{L"Office Laser", {L"Laser PCL", L"USB001"}},
                      {L"Label Printer", {L"Label ZPL", L"USB002"}},
                      {std::wstring(400, L'p'), {L"Long", L"USB003"}}};
    SetShellPrinterSource(&source);
    DWORD bytes = 0, count = 7;
    EXPECT_FALSE(EnumShellPrinters(nullptr, 0, &bytes, &count)) << "the folder is not open";
    OpenPrintersFolder(nullptr);
    ASSERT_TRUE(EnumShellPrinters(nullptr, 0, &bytes, &count));
    EXPECT_EQ(bytes, 3 * sizeof(ShellPrinterEntry));
    EXPECT_EQ(count, 0u);

    // A printer added by the spooler between the two calls does not overrun the array.
    source.items.insert(source.items.begin(), {L"New Printer", 9, false, false});
    source.spooler[L"New Printer"] = {L"New", L"USB004"};
    ShellPrinterEntry entries[3];
    ASSERT_TRUE(EnumShellPrinters(entries, 3, &bytes, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_STREQ(entries[0].name, L"New Printer");
    EXPECT_STREQ(entries[1].name, L"Office Laser");
    EXPECT_STREQ(entries[1].driver, L"Laser PCL");
    EXPECT_STREQ(entries[1].port, L"USB001");
    EXPECT_EQ(entries[1].iconIndex, 3);
    EXPECT_STREQ(entries[2].name, L"Label Printer");
    EXPECT_EQ(bytes, 4 * sizeof(ShellPrinterEntry));

    ShellPrinterEntry all[4];
    ASSERT_TRUE(EnumShellPrinters(all, 4, &bytes, &count));
    EXPECT_EQ(wcslen(all[3].name), 260u) << "a long name is cut and terminated";
    ClosePrintersFolder();
    EXPECT_EQ(source.closed, 1);
    EXPECT_FALSE(EnumShellPrinters(entries, 3, &bytes, &count));
    SetShellPrinterSource(nullptr);
}

TEST(ShellPrinters, TheSystemFolderOpensAndClosesUnderWine) {
    HIMAGELIST icons = OpenPrintersFolder(nullptr);
    EXPECT_NE(icons, nullptr);
    DWORD bytes = 1, count = 1;
    EXPECT_TRUE(EnumShellPrinters(nullptr, 0, &bytes, &count));
    EXPECT_EQ(bytes % sizeof(ShellPrinterEntry), 0u);
    ClosePrintersFolder();
}

}  // namespace
