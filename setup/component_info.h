// The component steps of an install run: the drivers, older services and helper programs of
// each checked application before the copy, its services and programs after it, and their
// records for removal; the REGEX and PRESTART records; the status-monitor programs.
#pragma once

#include "component_runner.h"
#include "setup_context.h"

// 1 when every component ran; else 0 with failed naming the entry and its code.
int InstallComponentInfo(HWND page, SetupContext* context, ComponentError* failed);
void InstallServiceFileCom(HWND page, SetupContext* context);
void WriteComponentUninstallInfo(HWND page, SetupContext* context, ApplicationRecord* record);
void SpecialFunction(HWND page, SetupContext* context);
void ExecMonitorApplications(HWND page, SetupContext* context);
