// The analysis state machine of a server session: probe the server, open its channels, ask
// for its device list (and storage list), then rest until the next poll.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Acting states.
constexpr uint16_t kStateSendAddress = 2;          // probe: one search to the server's address
constexpr uint16_t kStateOpenSocket = 3;           // open the monitor channels
constexpr uint16_t kStateDeviceList = 7;           // "GET USB_DEVICE_LIST"
constexpr uint16_t kStateDeviceListEx = 8;         // "GET USB_DEVICE_LIST_EX"
constexpr uint16_t kStateDeviceListExII = 9;       // "GET USB_DEVICE_LIST_EX_II"
constexpr uint16_t kStateStorageList = 10;         // "GET STORAGE_LIST" on channel 2
// Resting states.
constexpr uint16_t kStateAddressChanged = 11;      // -> 2
constexpr uint16_t kStateProbeAnswered = 12;       // -> 3
constexpr uint16_t kStateChannelsOpen = 13;        // -> the device list of the RWP level
constexpr uint16_t kStateGotDeviceList = 17;       // -> 7, or 10 with storage
constexpr uint16_t kStateGotDeviceListEx = 18;     // -> 8, or 10 with storage
constexpr uint16_t kStateGotDeviceListExII = 19;   // -> 9, or 10 with storage
constexpr uint16_t kStateNoLocalAddress = 20;      // -> 2
constexpr uint16_t kStateGotStorageList = 21;      // -> 7

// CommunicateMode bit: ask servers with storage for their storage list.
constexpr uint8_t kCommunicateStorage = 0x8;
// Server port of channel 2.
constexpr uint16_t kStoragePort = 19541;
// RWP port used when no search reply told the server's own.
constexpr uint16_t kDefaultRwpPort = 19540;

// The state a step leads to from `state`: resting states resolve to their next acting state
// (storageWanted: CommunicateMode asks for storage and the server has it); acting states stay.
// 0 and unknown values stay as they are and do nothing.
uint16_t NextAnalysisState(uint16_t state, uint16_t rwpLevel, bool storageWanted);

// The acting state that asks for the device list of an RWP level, and the resting state its
// reply leads to.
uint16_t DeviceListState(uint16_t rwpLevel);
uint16_t DeviceListReplyState(uint16_t rwpLevel);

// True for the states whose request is watched by the TimeOut timer.
bool StateStartsTimeOut(uint16_t state);

// One step: `state` (0: the current one) is resolved and stored, the TimeOut timer starts for
// a watched request unless `retry` is set (a TimeOut tick repeating it), and the state's
// action runs.
void StepAnalysis(HWND serverWindow, uint16_t state, bool retry);

// Stops both channels and the probe and starts again from the probe.
void RestartServerAnalysis(HWND serverWindow);

// Destroys both channels and closes the probe socket.
void CloseServerChannels(HWND serverWindow);

// Server window messages of the analysis.
void OnProbeReply(HWND serverWindow, WPARAM wParam, LPARAM lParam);
void OnDeviceListReply(HWND serverWindow, UINT message, HWND channel);
void OnStorageListReply(HWND serverWindow, UINT message, HWND channel);
