// A driver package of a test's own in a scratch folder: hardware id, service and file are
// unique to the process, so nothing of the prefix's own drivers is touched.
#pragma once

#include "driver_installer.h"

#include "scratch.h"

#include <cstring>
#include <string>

inline std::string SystemFolder() {
    char path[MAX_PATH];
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

struct TestPackage {
    explicit TestPackage(const char* cls = "USB", const char* sourceFiles = "qzdrv.sys = 1\r\n",
                         const char* version = "DriverVer = 06/01/2016,2.1.3.0\r\n")
        : tag("qzuptp" + std::to_string(GetCurrentProcessId())), id("USB\\VID_0FE1&PID_" + tag) {
        CreateDirectoryA((dir / "x64").c_str(), nullptr);
        std::string sys = tag + ".sys";
        std::string text =
            "[Version]\r\nSignature = \"$Windows NT$\"\r\nClass = " + std::string(cls) +
            "\r\nClassGuid = {36FC9E60-C465-11CF-8056-444553540000}\r\n" + version +
            "[Manufacturer]\r\nQz = Models, NTamd64\r\n[Models.NTamd64]\r\nQz Bus = Install, " + id +
            "\r\n[Install.NT]\r\nCopyFiles = Files\r\n[Install.NT.Services]\r\nAddService = " + tag +
            ", 2, Service\r\n[Service]\r\nServiceType = 1\r\nStartType = 3\r\nErrorControl = 1\r\n"
            "ServiceBinary = %12%\\" + sys + "\r\n[Files]\r\n" + sys +
            "\r\n[DestinationDirs]\r\nDefaultDestDir = 12\r\n[SourceDisksNames.amd64]\r\n1 = Disk,,,\\x64\r\n"
            "[SourceDisksFiles.amd64]\r\n" + sys + " = 1\r\n";
        if (sourceFiles) text += std::string("[SourceDisksFiles]\r\n") + sourceFiles;
        WriteFileText(inf(), text);
        WriteFileText(dir / ("x64\\" + sys), "stand-in driver");
        std::memset(&request, 0, sizeof request);
        lstrcpyA(request.InfFile, inf().c_str());
        request.size = sizeof request;
        lstrcpyA(request.TargetOS, "NTamd64");
    }
    std::string inf() const { return dir / "qzdrv.inf"; }
    std::string key() const {  // the id as the fake store keeps it
        std::string k = id;
        for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return k;
    }
    std::string installedSys() const { return SystemFolder() + "\\drivers\\" + tag + ".sys"; }
    uint32_t Run(uint32_t mode, int* returned = nullptr) {
        request.mode = mode;
        uint32_t result = 999;
        int r = ZkSetupDriver(nullptr, &request, &result);
        if (returned) *returned = r;
        return result;
    }

    ScratchFolder dir{"driver"};
    std::string tag, id;
    DriverRequest request;
};
