// The setup program's start-up, message loop and exit.
#pragma once

#include <windows.h>

constexpr char kInstallerVersion[] = "7.6.1";

int InitInstaller(HINSTANCE instance, const char* commandLine);
// The whole run from the command line to the end of the message loop; the exit code.
int RunSetup(HINSTANCE instance, const char* commandLine);
int ExitInstaller();
