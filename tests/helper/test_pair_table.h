// A pair table on a hidden window of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "pair_table.h"

namespace helper_test {

class TestPairTable {
public:
    TestPairTable() {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 250, 220, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        if (parent_) list_ = CreatePairTable(parent_);
    }
    ~TestPairTable() {
        if (parent_) DestroyWindow(parent_);
    }
    TestPairTable(const TestPairTable&) = delete;
    TestPairTable& operator=(const TestPairTable&) = delete;
    HWND list() const { return list_; }

private:
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

// A test with a fresh pair table.
class WithPairTable : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(list_, nullptr); }
    TestPairTable table_;
    HWND list_ = table_.list();
};

}  // namespace helper_test
