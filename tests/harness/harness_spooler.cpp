// Harness commands for the stand-in spooler (sim/spooler), which this process loads when it is
// started with the override "winspool.drv=n,b":
//   fakeprinter NAME [driver=TEXT] [port=TEXT] [jobbytes=N]
//                        adds or changes a printer of this process's set; jobbytes is the size
//                        of its one job (0: no job)
//   fakeprinter NAME remove=1
//                        deletes it
// The stand-in sees every change through the registry and signals the printer's notifications.
#include <windows.h>

#include <string>

#include "fake_spooler_registry.h"
#include "harness_commands.h"
#include "win_handles.h"

namespace {

bool WriteText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool FakePrinter(harness::Context&, const harness::Args& args, harness::JsonLine& out) {
    std::string name = args.Get("name", 0);
    if (name.empty() || name.find('\\') != std::string::npos) {
        out.Add("error", "a printer name is needed");
        return false;
    }
    std::string path = fakespool::SetPath() + "\\" + name;
    if (args.GetInt("remove", 99, 0)) {
        LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
        out.Add("error", "registry");
        return false;
    }
    qz::RegKey key(raw);
    bool ok = true;
    if (!args.Get("driver", 99).empty()) ok &= WriteText(raw, fakespool::kDriver, args.Get("driver", 99));
    if (!args.Get("port", 99).empty()) ok &= WriteText(raw, fakespool::kPort, args.Get("port", 99));
    if (!args.Get("jobbytes", 99).empty()) {
        DWORD bytes = static_cast<DWORD>(args.GetInt("jobbytes", 99, 0));
        ok &= RegSetValueExA(raw, fakespool::kJobBytes, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bytes),
                             sizeof bytes) == ERROR_SUCCESS;
    }
    out.Add("set", fakespool::SetPath());
    return ok;
}

}  // namespace

HARNESS_COMMAND("fakeprinter", "fakeprinter NAME [driver=TEXT] [port=TEXT] [jobbytes=N] [remove=1]", FakePrinter);
