#include "version_install.h"

namespace {

class SystemVersionInstall final : public VersionInstallService {
public:
    DWORD FindFile(const char* fileName, const char* windowsFolder, const char* appFolder, char* current,
                   UINT* currentLength, char* destination, UINT* destinationLength) override {
        return VerFindFileA(0, const_cast<char*>(fileName), const_cast<char*>(windowsFolder),
                            const_cast<char*>(appFolder), current, currentLength, destination, destinationLength);
    }
    DWORD InstallFile(DWORD flags, const char* sourceName, const char* destinationName, const char* sourceFolder,
                      const char* destinationFolder, const char* currentFolder, char* tempFile,
                      UINT* tempLength) override {
        return VerInstallFileA(flags, const_cast<char*>(sourceName), const_cast<char*>(destinationName),
                               const_cast<char*>(sourceFolder), const_cast<char*>(destinationFolder),
                               const_cast<char*>(currentFolder), tempFile, tempLength);
    }
    BOOL MoveAtRestart(const char* from, const char* to) override {
        return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    }
};

SystemVersionInstall g_system;
VersionInstallService* g_service = &g_system;

}  // namespace

VersionInstallService& VersionInstaller() { return *g_service; }
void SetVersionInstaller(VersionInstallService* service) { g_service = service ? service : &g_system; }
