// Each run of the setup tests gets a TEMP folder of its own. The install steps keep their
// working files in TEMP under fixed names (one working list per application name), and ctest
// runs several setup test programs side by side in one prefix: with a shared TEMP they would
// write into one another's working lists.
#include <windows.h>

#include <string>

#include "scratch.h"

namespace {

class OwnTemp {
public:
    OwnTemp() {
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof temp, temp);
        if (n == 0 || n >= sizeof temp) return;
        path_ = std::string(temp) + "qz_setup_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount64());
        if (!CreateDirectoryA(path_.c_str(), nullptr)) {
            path_.clear();
            return;
        }
        SetEnvironmentVariableA("TMP", path_.c_str());
        SetEnvironmentVariableA("TEMP", path_.c_str());
    }
    ~OwnTemp() {
        if (!path_.empty()) RemoveTree(path_);
    }
    OwnTemp(const OwnTemp&) = delete;
    OwnTemp& operator=(const OwnTemp&) = delete;

private:
    std::string path_;
};

const OwnTemp g_ownTemp;

}  // namespace
