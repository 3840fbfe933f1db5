// How many applications of the maker use each shared driver, and the request that makes the
// bus driver drop every COM port before the COM port driver goes.
#pragma once

#include <windows.h>

// 1 at start; 0 once a removal run kept the bus driver for another application.
extern int BusDriverRemovable;

constexpr DWORD ZkuptpClearComPorts = 0x806021C4;

void CountDriverUser(const char* application, const char* driver);
// Whether the driver may go; unless checkOnly, also lowers the count and forgets the application.
int ReleaseDriverUser(const char* application, const char* driver, BOOL checkOnly);
int Zkuptp_AllClearComInfo();
HANDLE OpenDriverDevice(const char* name);
int CloseDriverDevice(HANDLE device);
