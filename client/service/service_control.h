// Service control: properties, start, end, suspend, resume, renew, the search port and rule
// number, the desktop port, the search filters and the detected servers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pnxscapi.h"

int ServiceSetPortAndRule(HWND service, uint32_t port, uint32_t rule);
int ServiceGetProperties(HWND service, ServiceProperties* properties);
int ServiceStart(HWND service, const ServiceProperties* properties);
int ServiceEnd(HWND service);
int ServiceSuspend(HWND service, int keepPrinters);
int ServiceResume(HWND service, const ServiceProperties* properties);
int ServiceRenew(HWND service, int mode);
int ServerRenewDevices(HWND service, HPnxSv server, uint32_t mode);
int ServiceGetRdpPort(HWND service, uint32_t* port);
int ServiceSetRdpPort(HWND service, uint32_t port);
int ServiceSetFilter(HWND service, int kind, const char* list);
int ServiceSetFilterEx(HWND service, int kind, const char* list);
int ServiceRefreshFilter();
int ServiceDetectedServers(HWND service, DetectedServer* servers, uint32_t* count);
