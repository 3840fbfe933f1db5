// The Windows device tree as the library reads it: device nodes by instance id, their status,
// children, registry properties and keys, and the eject request. Every call goes straight to
// the Configuration Manager; nothing here is cached.
#pragma once

#include <windows.h>

#include <cfgmgr32.h>

#include <string>
#include <vector>

// Device registry properties the library reads (the SetupAPI numbering).
constexpr ULONG kDevicePropertyHardwareId = 1;
constexpr ULONG kDevicePropertyService = 4;
constexpr ULONG kDevicePropertyDriver = 9;
constexpr ULONG kDevicePropertyUpperFilters = 17;
constexpr ULONG kDevicePropertyEnumerator = 22;

// Longest instance id or property text taken from the tree.
constexpr size_t kDeviceIdChars = 260;

// The present node of an instance id; false when there is none.
bool LocateDeviceNode(const std::string& instanceId, DEVINST* node);
// The node of an instance id, present or not: Windows keeps the node of an unplugged device,
// whose registry properties and keys still read. False when there is none.
bool LocateStoredDeviceNode(const std::string& instanceId, DEVINST* node);

// The first string of a node's property (present or not); false when the instance or the
// property is missing.
bool GetDeviceProperty(const std::string& instanceId, ULONG property, std::string* text);

// "PortName" from the node's hardware key and "DriverDesc" from its driver key, also of a node
// whose device is unplugged (a printer keeps its port then); false when either is missing.
bool GetPortNameAndDriverDesc(const std::string& instanceId, std::string* port, std::string* description);

// The printer below a present print-class node: its first child, or for the "dot4" service the
// child's first child; its id, port and driver description. False when a level is missing.
bool GetDot4ChildPort(const std::string& instanceId, const std::string& service, std::string* printerId,
                      std::string* port, std::string* description);

// The ids of the present node's children, in order; empty when the node or its children are missing.
std::vector<std::string> GetChildDeviceIds(const std::string& instanceId);
inline size_t CountChildDevices(const std::string& instanceId) { return GetChildDeviceIds(instanceId).size(); }

// The node's status and problem; false when it is not present.
bool GetDeviceNodeStatus(const std::string& instanceId, ULONG* status, ULONG* problem);

// True when "System\CurrentControlSet\Enum\<id>" of the local machine opens for reading.
bool EnumKeyExists(const std::string& instanceId);
