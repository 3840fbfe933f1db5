// The setup program itself under the X server: its frame found, Next and Back through the
// page table, the Cancel question, and the exit codes.
#include "bitmap_builder.h"
#include "exit_codes.h"
#include "own_window.h"
#include "test_script.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string SetupProgram() {
#ifdef _WIN64
    return BesideTheTests("setup\\QuelboPlusSetup64.exe");
#else
    return BesideTheTests("setup\\QuelboPlusSetup32.exe");
#endif
}

class RunningSetup {
public:
    RunningSetup(const TestScript& script, const char* arguments) {
        std::string program = script / "QuelboPlusSetup.exe";
        CopyFileA(SetupProgram().c_str(), program.c_str(), FALSE);
        // The setup helper library beside the program, as in a setup folder.
        CopyFileA(BesideTheTests("_Setup64.dll").c_str(), (script / "_Setup64.dll").c_str(), FALSE);
        std::string line = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  script.path().c_str(), &startup, &process_) != FALSE;
    }
    ~RunningSetup() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool started() const { return started_; }
    // The exit code, or 259 when it does not end within the time.
    DWORD Wait(DWORD ms) {
        WaitForSingleObject(process_.hProcess, ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    DWORD id() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

HWND WaitForWindow(DWORD process, const char* title, const char* cls = "#32770", DWORD ms = 15000) {
    for (DWORD waited = 0; waited < ms; waited += 100) {
        if (HWND found = qz_test::FindWindowOfProcess(process, cls, title)) return found;
        Sleep(100);
    }
    return nullptr;
}

// The visible page of the frame, named by the control only it has.
std::string VisiblePageText(HWND frame) {
    static const struct {
        int control;
        const char* name;
    } kPages[] = {{1073, "Language page"}, {1078, "Welcome page"}, {1076, "License page"},
                  {1057, "Application page"}, {1018, "Folder page"}, {1014, "Start menu page"},
                  {1086, "Check page"}, {1200, "Install page"}, {1104, "Connect page"},
                  {1101, "Printer page"}, {1083, "Finish page"}, {1099, "Restart page"}};
    for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(child)) continue;
        for (const auto& page : kPages) {
            if (GetDlgItem(child, page.control)) return page.name;
        }
    }
    return "";
}

void Press(HWND frame, int id) {
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(frame, id)));
}

// The screen as a 24-bit BMP file, for looking at (after the program has repainted).
void SaveScreen(const std::string& path) {
    Sleep(500);
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = ((w * 3 + 3) & ~3u), size = stride * h;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info.bmiHeader + size), 0, 0,
                          static_cast<DWORD>(sizeof file + sizeof info.bmiHeader)};
    FILE* out = fopen(path.c_str(), "wb");
    if (out) {
        fwrite(&file, sizeof file, 1, out);
        fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        fwrite(bits, size, 1, out);
        fclose(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST(Wizard, NextBackAndCancelThroughTheFrame) {
    std::string language = kLanguageIni;
    language.insert(language.find("[SETTING]") + 11, "BACK=ON\r\nSTARTMENU=OFF\r\n");
    language.insert(language.find("[TITLE]") + 9, "PRODUCT=Quelbo Plus\r\nCOMPANY=Orvik\r\n");
    language += "[BITMAP]\r\nTOP=top.bmp\r\nTOP_ICON=icon.bmp\r\nLEFT=left.bmp\r\n";
    TestScript script("wizard", language);
    auto writeBmp = [&](const char* name, const BmpBytes& bmp) {
        WriteFileText(script / name, std::string(bmp.bytes.begin(), bmp.bytes.end()));
    };
    writeBmp("top.bmp", MakeBmp(586, 58, 24, 255, 200, 0));
    writeBmp("icon.bmp", MakeBmp(49, 49, 8, 0, 160, 0));
    writeBmp("left.bmp", MakeBmp(164, 294, 24, 0, 120, 220));
    RunningSetup setup(script, "-S");
    ASSERT_TRUE(setup.started());
    HWND frame = WaitForWindow(setup.id(), "Test Setup");
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(WaitForWindow(setup.id(), "Test Setup", script.className().c_str()), nullptr) << "the background window";
    for (int i = 0; i < 50 && VisiblePageText(frame).empty(); ++i) Sleep(100);
    EXPECT_EQ(VisiblePageText(frame), "Welcome page");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 1068))) << "Back on a left page";
    SaveScreen(BesideTheTests("setup_wizard_left.bmp"));
    char caption[64] = "";
    GetDlgItemTextA(frame, 1069, caption, sizeof caption);
    EXPECT_STREQ(caption, "Next >");
    Press(frame, 1069);
    EXPECT_EQ(VisiblePageText(frame), "Folder page") << "no License page (-S), no list for one application";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(frame, 1068)));
    Press(frame, 1069);
    EXPECT_EQ(VisiblePageText(frame), "Check page") << "Start menu is off";
    SaveScreen(BesideTheTests("setup_wizard.bmp"));
    Press(frame, 1068);
    EXPECT_EQ(VisiblePageText(frame), "Folder page");
    Press(frame, 1068);
    EXPECT_EQ(VisiblePageText(frame), "Welcome page");
    Press(frame, 1068);
    EXPECT_EQ(VisiblePageText(frame), "Welcome page") << "Back on the first page stays";

    PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
    HWND question = WaitForWindow(setup.id(), "Setup");
    ASSERT_NE(question, nullptr);
    char text[128] = "";
    GetDlgItemTextA(question, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Quit the setup now?");
    PostMessageA(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(setup.Wait(15000), static_cast<DWORD>(kExitCancelled));
}

TEST(Wizard, MissingScriptFilesEndWithTheirExitCode) {
    TestScript noLanguage("nolang", "");
    RunningSetup silent(noLanguage, "-k");
    ASSERT_TRUE(silent.started());
    EXPECT_EQ(silent.Wait(15000), static_cast<DWORD>(kExitNoScript));

    RunningSetup shown(noLanguage, "");
    HWND box = WaitForWindow(shown.id(), "Install");
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(shown.Wait(15000), static_cast<DWORD>(kExitNoScript));

    TestScript noCopyFile("nocopy", kLanguageIni, "");
    RunningSetup noCopy(noCopyFile, "");
    box = WaitForWindow(noCopy.id(), "Setup");
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(noCopy.Wait(15000), static_cast<DWORD>(kExitNoScript));
}

TEST(Wizard, SilentRunEndsAlone) {
    TestScript script("silent");
    RunningSetup setup(script, "-k");
    ASSERT_TRUE(setup.started());
    EXPECT_EQ(setup.Wait(20000), 0u);
}

TEST(Wizard, LanguagePageFirstAndTheBackgroundCloseAsks) {
    std::string language = kLanguageIni;
    language.replace(language.find("MODE=S"), 6, "MODE=M\r\nBACK=ON");
    language.insert(language.find("[TITLE]") + 9, "PAGE_00=Language page\r\n");
    TestScript script("manual", language);
    RunningSetup setup(script, "");
    ASSERT_TRUE(setup.started());
    HWND frame = WaitForWindow(setup.id(), "Test Setup");
    ASSERT_NE(frame, nullptr);
    for (int i = 0; i < 50 && VisiblePageText(frame).empty(); ++i) Sleep(100);
    EXPECT_EQ(VisiblePageText(frame), "Language page");

    // Closing the background window asks the Language.ini question; No keeps the wizard.
    HWND main = WaitForWindow(setup.id(), "Test Setup", script.className().c_str());
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND question = WaitForWindow(setup.id(), "Setup");
    ASSERT_NE(question, nullptr);
    char text[128] = "";
    GetDlgItemTextA(question, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Quit the setup?");
    PostMessageA(question, WM_COMMAND, IDNO, 0);
    Sleep(500);
    EXPECT_EQ(setup.Wait(0), static_cast<DWORD>(STILL_ACTIVE));

    Press(frame, 1069);
    EXPECT_EQ(VisiblePageText(frame), "Welcome page");
    PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
    question = WaitForWindow(setup.id(), "Setup");
    ASSERT_NE(question, nullptr);
    GetDlgItemTextA(question, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Quit the setup now?");
    PostMessageA(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(setup.Wait(15000), static_cast<DWORD>(kExitCancelled));
}

}  // namespace
