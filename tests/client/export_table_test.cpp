// Every export of Pnxscapi.dll resolves by its ordinal to the same function as by its name:
// the utility binds by ordinal.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include <set>

#include "export_table.h"
#include "lib_test_support.h"

namespace {

// The table the module definition file is made from: every ordinal 1 to 83 but 47 and 77.
TEST(ExportTable, CoversEveryOrdinalButTheTwoUnassigned) {
    std::set<int> ordinals;
    for (const PnxExport& e : kPnxExports) EXPECT_TRUE(ordinals.insert(e.ordinal).second) << e.name;
    EXPECT_EQ(ordinals.size(), 81u);
    EXPECT_EQ(*ordinals.begin(), 1);
    EXPECT_EQ(*ordinals.rbegin(), 83);
    EXPECT_FALSE(ordinals.count(47) || ordinals.count(77));
}


TEST(ExportTable, EveryOrdinalResolvesToItsNamedFunction) {
    std::string path = ProgramDirectory() + "Pnxscapi.dll";
    HMODULE library = LoadLibraryA(path.c_str());
    ASSERT_NE(library, nullptr) << path;
    for (const PnxExport& e : kPnxExports) {
        FARPROC byName = GetProcAddress(library, e.name);
        FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(e.ordinal));
        EXPECT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(byOrdinal, byName) << e.name << " @" << e.ordinal;
    }
    FreeLibrary(library);
}

}  // namespace
