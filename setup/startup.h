// The setup program's start-up, message loop and exit.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr char kInstallerVersion[] = "7.6.1";

int InitInstaller(HINSTANCE instance, const char* commandLine);
// The whole run from the command line to the end of the message loop; the exit code.
int RunSetup(HINSTANCE instance, const char* commandLine);
// The exit code: the run's first failure (the one given counts when none was recorded), else
// 1 when a restart is due, else 0.
int ExitInstaller(uint32_t failure = 0);
