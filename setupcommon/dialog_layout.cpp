#include "dialog_layout.h"

#include "ini_text.h"

#include <ini_font.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

int RtlLayout = 0;

namespace {

constexpr int kTableCaptionHeight = 19;  // the tables were drawn for a 19-pixel caption
constexpr DWORD kFontValueChars = 128;

void AddExStyle(HWND w, LONG_PTR add, LONG_PTR remove = 0) {
    if (!w) return;
    LONG_PTR style = GetWindowLongPtrA(w, GWL_EXSTYLE);
    SetWindowLongPtrA(w, GWL_EXSTYLE, (style | add) & ~remove);
}

void SetTextFromIni(HWND w, const char* iniPath, const char* section, const char* key) {
    std::string text = GetIniString(iniPath, section, key);
    if (!text.empty()) SetWindowTextA(w, text.c_str());
}

}  // namespace

void PickVistaIniKey(const char* key, const char* iniPath, int osCode, char* out, size_t size) {
    snprintf(out, size, "%s", key);
    if (osCode < 8) return;
    char vistaKey[64];
    snprintf(vistaKey, sizeof vistaKey, "%s_VISTA", key);
    char value[260];
    if (GetPrivateProfileStringA("FONT", vistaKey, "", value, sizeof value, iniPath) > 0) snprintf(out, size, "%s", vistaKey);
}

HFONT CreateIniFont(HWND /*window*/, const char* key, const char* iniPath) {
    if (!key || !*key || !iniPath) return nullptr;
    char value[kFontValueChars + 1] = "";
    GetPrivateProfileStringA("FONT", key, "", value, sizeof value, iniPath);
    qz::IniFontSpec spec;
    if (!qz::ParseIniFontSpec(std::string(value), spec)) return nullptr;
    return CreateFontA(spec.height, 0, 0, 0, spec.weight, FALSE, spec.underline ? TRUE : FALSE, FALSE, spec.charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, spec.face.c_str());
}

void LayoutDialog(HWND dialog, HFONT font, const LayoutRow* table, int mode, const char* iniPath) {
    if (!dialog || !table) return;
    const LayoutRow& self = table[0];
    if (mode == kLayoutKeepPosition) {
        int height = self.height + GetSystemMetrics(SM_CYCAPTION) - kTableCaptionHeight;
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, self.width, height, SWP_NOMOVE | SWP_NOACTIVATE);
    } else if (mode == kLayoutMoveAndSize) {
        MoveWindow(dialog, self.x, self.y, self.width, self.height, TRUE);
    }
    if (self.section && self.key) SetTextFromIni(dialog, iniPath, self.section, self.key);
    for (const LayoutRow* row = table + 1; row->controlId != 0; ++row) {
        HWND control = GetDlgItem(dialog, static_cast<int>(row->controlId));
        if (!control) continue;
        MoveWindow(control, row->x, row->y, row->width, row->height, TRUE);
        if (!row->section) continue;
        if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (row->key) SetTextFromIni(control, iniPath, row->section, row->key);
    }
}

int FindControlLayout(const LayoutRow* table, uint32_t controlId, LayoutRow* row) {
    if (!table) return 0;
    int index = 0;
    if (table[0].controlId != controlId) {
        for (int i = 1; table[i].controlId != 0; ++i) {
            if (table[i].controlId == controlId) {
                index = i;
                break;
            }
        }
    }
    if (row) *row = table[index];
    return index;
}

int MirrorDialogControls(HWND dialog, const LayoutRow* table) {
    if (!table) return 0;
    AddExStyle(dialog, WS_EX_LAYOUTRTL);
    for (const LayoutRow* row = table + 1; row->controlId != 0; ++row) {
        HWND control = GetDlgItem(dialog, static_cast<int>(row->controlId));
        if (!control) continue;
        AddExStyle(control, WS_EX_LAYOUTRTL);
        char cls[64] = "";
        GetClassNameA(control, cls, sizeof cls);
        if (lstrcmpiA(cls, "SysListView32") == 0) {
            AddExStyle(reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0)), WS_EX_LAYOUTRTL);
        } else if (lstrcmpiA(cls, "ComboBox") == 0) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (GetComboBoxInfo(control, &info)) {
                AddExStyle(info.hwndItem, WS_EX_LAYOUTRTL);
                AddExStyle(info.hwndList, WS_EX_LAYOUTRTL);
            }
        } else if (lstrcmpiA(cls, "Edit") == 0) {
            // Edits are not mirrored: their text reads right to left and sits on the right.
            AddExStyle(control, WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, WS_EX_LAYOUTRTL);
            SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | ES_RIGHT);
        }
    }
    return 1;
}
