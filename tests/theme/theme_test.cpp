// Loads Themes\Quelbotheme.dll beside the test program and checks its four queries, its
// resource inventory and its version resource.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dib.h"
#include "system_util.h"
#include "theme_api.h"
#include "theme_resources.h"

namespace {

class ThemeLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wchar_t folder[MAX_PATH];
        GetModuleFolder(folder);
        path_ = std::wstring(folder) + L"\\Themes\\Quelbotheme.dll";
        module_ = LoadLibraryW(path_.c_str());
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    template <typename Fn>
    static Fn Export(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load the theme library"; }

    static inline HMODULE module_ = nullptr;
    static inline std::wstring path_;
};

TEST_F(ThemeLibrary, LayoutQueryCopiesMatchingRowsAndRefusesUnknownDialogs) {
    auto query = Export<PnxThemeGetItemInfoFn>(kThemeGetItemInfo);
    ASSERT_NE(query, nullptr);
    struct Case {
        int dialog, control;
        BOOL result;
        int x, y, w, h;  // expected; -7 everywhere when unchanged
    } cases[] = {
        {1001, 1001, TRUE, 0, 0, 550, 498},  {1001, 1024, TRUE, 210, 15, 95, 50},
        {1001, 1099, TRUE, 2, 72, 538, 327}, {1001, 1020, TRUE, 275, 405, 95, 50},
        {1004, 1032, TRUE, 291, 125, 0, 0},  {1008, 1030, TRUE, 80, 208, 0, 0},
        {1008, 2, TRUE, 174, 208, 0, 0},     {1001, 4242, TRUE, -7, -7, -7, -7},
        {1005, 1024, FALSE, -7, -7, -7, -7}, {0, 1024, FALSE, -7, -7, -7, -7},
    };
    for (const Case& c : cases) {
        ThemeItemInfo row{c.control, L"SECTION", L"KEY", -7, -7, -7, -7};
        EXPECT_EQ(query(&row, c.dialog), c.result) << c.dialog << "/" << c.control;
        EXPECT_EQ(row.x, c.x) << c.dialog << "/" << c.control;
        EXPECT_EQ(row.y, c.y);
        EXPECT_EQ(row.width, c.w);
        EXPECT_EQ(row.height, c.h);
        EXPECT_STREQ(row.section, L"SECTION");
    }
    EXPECT_FALSE(query(nullptr, 1001));
}

TEST_F(ThemeLibrary, ButtonQueryCopiesColoursAndStyleOnly) {
    auto query = Export<PnxThemeGetOdBtnInfoFn>(kThemeGetOdBtnInfo);
    ASSERT_NE(query, nullptr);
    struct Case {
        int dialog, control;
        BOOL result;
        uint32_t disabled, style;
    } cases[] = {
        {1001, 1019, TRUE, 0xFFFFFF, 0x7A}, {1001, 1095, TRUE, 0xFFFFFF, 0x7A},
        {1004, 1104, TRUE, 0x808080, 0x3A}, {1008, 2, TRUE, 0x808080, 0x3A},
        {1008, 1018, TRUE, 1, 2},           {1002, 1019, FALSE, 1, 2},
    };
    for (const Case& c : cases) {
        ThemeOdBtnInfo row{225, 3, c.control, 9, 1, 1, 1, 1, 2};
        EXPECT_EQ(query(&row, c.dialog), c.result) << c.dialog << "/" << c.control;
        EXPECT_EQ(row.colourDisabled, c.disabled) << c.dialog << "/" << c.control;
        EXPECT_EQ(row.style, c.style);
        if (c.style != 2) {
            EXPECT_EQ(row.colourNormal, 0xFFFFFFu);
        }
        EXPECT_EQ(row.bitmapId, 225u);
        EXPECT_EQ(row.flags, 3u);
        EXPECT_EQ(row.textX, 9);
    }
    EXPECT_FALSE(query(nullptr, 1001));
}

TEST_F(ThemeLibrary, ServerIconIndexFollowsModelPrefixAndState) {
    auto index = Export<PnxThemeGetServerImageListIndexFn>(kThemeGetServerImageListIndex);
    ASSERT_NE(index, nullptr);
    struct Case {
        const wchar_t* name;
        uint16_t state;
        int expected;
    } cases[] = {
        {L"hvq-2400", 1, 3}, {L"JXK", 0, 4}, {L"", 2, 0},      {nullptr, 1, 1},
        {L"HV", 0, 0},       {L"jXk9", 1, 5}, {L"ABC", 1, 1},  {L"HVQ", 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(index(c.name, c.state), c.expected) << (c.name ? c.name : L"(null)") << c.state;
    }
}

TEST_F(ThemeLibrary, ServerImageListHoldsSixImagesOf32Pixels) {
    auto make = Export<PnxThemeGetServerImageListFn>(kThemeGetServerImageList);
    ASSERT_NE(make, nullptr);
    HIMAGELIST list = make();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 6);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
    ImageList_Destroy(list);
}

std::set<int> NamesOf(HMODULE module, LPCWSTR type) {
    std::set<int> ids;
    EnumResourceNamesW(
        module, type,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            if (IS_INTRESOURCE(name)) {
                reinterpret_cast<std::set<int>*>(param)->insert(static_cast<int>(reinterpret_cast<uintptr_t>(name)));
            } else {
                reinterpret_cast<std::set<int>*>(param)->insert(-1);  // a named resource: not ours
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

std::set<WORD> LanguagesOf(HMODULE module, LPCWSTR type, int id) {
    std::set<WORD> languages;
    EnumResourceLanguagesW(
        module, type, MAKEINTRESOURCEW(id),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::set<WORD>*>(param)->insert(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::set<int> Range(int first, int last) {
    std::set<int> ids;
    for (int i = first; i <= last; ++i) ids.insert(i);
    return ids;
}

TEST_F(ThemeLibrary, ResourceInventoryMatchesTheIdsTheUtilityLoads) {
    std::set<int> icons = Range(103, 201);
    icons.insert(101);
    for (int id : Range(205, 212)) icons.insert(id);
    const struct {
        LPCWSTR type;
        std::set<int> ids;
    } expected[] = {
        {RT_GROUP_ICON, icons},
        {RT_BITMAP, Range(215, 244)},
        {RT_GROUP_CURSOR, {theme::kCursorGroup}},
        {RT_CURSOR, {182, 183}},
        {RT_VERSION, {1}},
    };
    for (const auto& e : expected) {
        std::set<int> found = NamesOf(module_, e.type);
        EXPECT_EQ(found, e.ids) << "type " << reinterpret_cast<uintptr_t>(e.type);
        for (int id : found) {
            EXPECT_EQ(LanguagesOf(module_, e.type, id), std::set<WORD>{theme::kLanguage})
                << "type " << reinterpret_cast<uintptr_t>(e.type) << " id " << id;
        }
    }
}

TEST_F(ThemeLibrary, EveryIconLoadsAtItsSizesAndEveryBitmapPassesTheDibChecks) {
    std::set<int> groups = NamesOf(module_, RT_GROUP_ICON);
    for (int id : groups) {
        bool animation = id >= theme::kIconConnectAnimFirst && id < theme::kIconTrayErrorFirst;
        for (int size : {16, 32, 48}) {
            if (animation && size != 32) continue;
            if (id >= theme::kIconTrayErrorFirst && id < theme::kIconServerOther && size == 48) continue;
            auto icon = static_cast<HICON>(
                LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            EXPECT_NE(icon, nullptr) << "icon " << id << " at " << size;
            ICONINFO info{};
            if (icon && GetIconInfo(icon, &info)) {
                BITMAP bm{};
                GetObjectW(info.hbmColor, sizeof(bm), &bm);
                EXPECT_EQ(bm.bmWidth, size) << "icon " << id;
                DeleteObject(info.hbmColor);
                DeleteObject(info.hbmMask);
            }
            if (icon) DestroyIcon(icon);
        }
    }
    SetResourceModule(module_);
    for (int id : NamesOf(module_, RT_BITMAP)) {
        Dib dib;
        EXPECT_TRUE(LoadDib(&dib, MAKEINTRESOURCEW(id), FALSE)) << "bitmap " << id;
        FreeDib(&dib);
    }
    // Button strips hold four frames; selection bars at least 69 columns.
    for (int id : {theme::kBmpRefreshButton, theme::kBmpConnectButton, theme::kBmpCancelButton}) {
        Dib dib;
        ASSERT_TRUE(LoadDib(&dib, MAKEINTRESOURCEW(id), FALSE));
        EXPECT_EQ(dib.width % 4, 0) << id;
        FreeDib(&dib);
    }
    for (int id : {theme::kBmpListSelFocus, theme::kBmpListSel, theme::kBmpTreeSelFocus, theme::kBmpTreeSel}) {
        Dib dib;
        ASSERT_TRUE(LoadDib(&dib, MAKEINTRESOURCEW(id), FALSE));
        EXPECT_GE(dib.width, 69) << id;
        FreeDib(&dib);
    }
    SetResourceModule(nullptr);
}

TEST_F(ThemeLibrary, VersionResourceReadsBack) {
    wchar_t text[128] = {};
    ASSERT_TRUE(GetVersionString(text, 128, path_.c_str(), L"OriginalFilename"));
    EXPECT_STREQ(text, L"Quelbotheme.dll");
    ASSERT_TRUE(GetVersionString(text, 128, path_.c_str(), L"FileVersion"));
    EXPECT_STREQ(text, L"1.4.0.0");
    ASSERT_TRUE(GetVersionString(text, 128, path_.c_str(), L"CompanyName"));
    EXPECT_STREQ(text, L"Orvik");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &handle);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010004u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010004u);
}

}  // namespace
