// The address-change watcher: a thread that rebuilds the local address list whenever the
// system reports a change of this PC's IP addresses.
#pragma once

#include <windows.h>

// The system's address-change notice, behind a thin interface: the production version passes
// each call straight through, tests give a scripted one.
class AddressChangeNotifier {
public:
    virtual ~AddressChangeNotifier() = default;
    // Asks for the event of `overlapped` to be signalled at the next change (NotifyAddrChange).
    // ERROR_IO_PENDING when the request waits; anything else means it completed or failed at
    // once.
    virtual DWORD Request(OVERLAPPED* overlapped) = 0;
    // Withdraws a waiting request (CancelIPChangeNotify).
    virtual void Cancel(OVERLAPPED* overlapped) = 0;
};

// Passes the calls to the IP helper.
AddressChangeNotifier& SystemAddressChangeNotifier();

// When the notice does not wait (it failed, or some systems complete it at once without ever
// signalling), the watcher looks again after this long instead of asking in a tight loop.
constexpr DWORD kAddressPollInterval = 10000;  // ms

// Starts the watcher for the service window with a notifier and a poll interval; a running
// watcher is stopped first. The notifier must outlive the watcher (until StopAddressWatch).
// False when the event or the thread cannot be made.
bool StartAddressWatchWith(HWND service, AddressChangeNotifier& notifier, DWORD pollInterval);

// Number of times the running (or last) watcher rebuilt the local address list.
unsigned AddressWatchRebuildCount();

// StartAddressWatch / StopAddressWatch (watchers.h) run the watcher with the system notifier.
