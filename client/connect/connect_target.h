// What the connect-queue worker knows of a device and its server while it works on a request:
// a copy taken under the library lock, so that the worker never reads a list or a window of
// the GUI thread and never holds the lock across a network or driver wait.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct DeviceEntry;

struct ConnectTarget {
    std::string name;
    std::vector<std::string> ports;      // one per interface
    std::vector<std::string> locations;  // one per interface
    std::vector<uint16_t> classes;       // interface classes
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t status = 0;
    uint16_t statusEx = 0;
    uint16_t previousStatus = 0;
    uint16_t previousStatusEx = 0;
    uint16_t function = 0;
    uint32_t userAddress = 0;
    uint8_t comPort = 0;
    bool hasProperty = false;
    uint16_t property = 0;
    uint16_t com = 0;
    uint8_t comPortNumber = 0;
    std::string busId;                   // first stored bus id, empty when none
    uint32_t printerInterfaces = 0;
    HWND serverWindow = nullptr;
    uint32_t serverAddress = 0;          // network byte order
    uint8_t hardwareAddress[6] = {};
    uint16_t level = 0;
    uint16_t serverFunction = 0;
    uint16_t rwpPort = 0;
    std::string model;
    uint32_t localAddress = 0;           // this PC toward the server, network byte order
    std::string deviceKey;

    bool IsComPort() const;
    bool HasClass(uint16_t interfaceClass) const;
    // Interfaces up to the first one without port or location.
    size_t UsableInterfaces() const;
};

// Copies the device and its server. False when the entry was deleted, has no information or
// its server is gone. Takes the library lock.
bool SnapshotDevice(DeviceEntry* device, ConnectTarget* target);

// True while the entry is still a row of its server (library lock taken inside).
bool DeviceStillListed(DeviceEntry* device);

// "%d.%d.%d.%d" of an address in network byte order.
std::string AddressText(uint32_t addressNet);
