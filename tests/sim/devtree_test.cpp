// The stand-in device tree, end to end inside one process: the bridge's writer puts a
// composite printer-and-storage device into the registry, the stand-in cfgmgr32.dll (loaded
// instead of Wine's) answers the Configuration Manager calls about it.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <string>

#include "devtree_registry.h"
#include "devtree_writer.h"
#include "win_handles.h"

namespace {

std::string IdOf(DEVINST node) {
    char id[MAX_DEVICE_ID_LEN] = {};
    return CM_Get_Device_IDA(node, id, sizeof id, 0) == CR_SUCCESS ? id : "";
}

std::string Property(DEVINST node, ULONG property, CONFIGRET* result = nullptr) {
    char data[512] = {};
    ULONG length = sizeof data, type = 0;
    CONFIGRET cr = CM_Get_DevNode_Registry_PropertyA(node, property, &type, data, &length, 0);
    if (result) *result = cr;
    return cr == CR_SUCCESS ? data : "";
}

std::string KeyValue(DEVINST node, ULONG which, const char* name) {
    qz::RegKey key;
    if (CM_Open_DevNode_Key(node, KEY_READ, 0, RegDisposition_OpenExisting, key.put(), which) != CR_SUCCESS)
        return "?";
    std::string value;
    return devtree::ReadString(key.get(), name, &value) ? value : "";
}

class DeviceTreeStandIn : public testing::Test {
protected:
    void SetUp() override {
        std::string tag = std::to_string(GetCurrentProcessId());
        busId_ = "USB\\VID_0A5C&PID_0001\\QZTEST" + tag + "_1-1";
        devtree::Profile profile;
        profile.kind = "composite";
        profile.classes = {7, 8};
        profile.desc = "QZ Laser 10";
        nodes_ = devtree::BuildNodes(busId_, profile);
        ASSERT_TRUE(writer_.Write(nodes_, true));
        ASSERT_EQ(CM_Locate_DevNodeA(&bus_, const_cast<char*>(busId_.c_str()), 0), CR_SUCCESS);
    }
    void TearDown() override { writer_.RemoveTree(busId_); }

    devtree::TreeWriter writer_{"qz_devtree_test_" + std::to_string(GetCurrentProcessId())};
    std::string busId_;
    std::vector<devtree::NodeSpec> nodes_;
    DEVINST bus_ = 0;
};

// The calls bind to the stand-in beside the program (a link line that names setupapi before
// cfgmgr32 would bind them to setupapi.dll, whose mingw import library has them too).
TEST_F(DeviceTreeStandIn, CallsGoToTheDllBesideTheProgram) {
    char dll[MAX_PATH] = {}, exe[MAX_PATH] = {};
    HMODULE standIn = GetModuleHandleA("cfgmgr32.dll");
    GetModuleFileNameA(standIn, dll, MAX_PATH);
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe, std::string(exe).rfind('\\') + 1);
    EXPECT_EQ(lstrcmpiA(dll, (dir + "cfgmgr32.dll").c_str()), 0) << dll;
    EXPECT_EQ(reinterpret_cast<void*>(&CM_Get_Child),
              reinterpret_cast<void*>(GetProcAddress(standIn, "CM_Get_Child")));
}

TEST_F(DeviceTreeStandIn, WalksParentsChildrenAndSiblings) {
    DEVINST first = 0, second = 0, printer = 0, parent = 0, none = 0;
    ASSERT_EQ(CM_Get_Child(&first, bus_, 0), CR_SUCCESS);
    EXPECT_EQ(IdOf(first), "USB\\VID_0A5C&PID_0001&MI_00\\" + nodes_[1].id.substr(nodes_[1].id.rfind('\\') + 1));
    ASSERT_EQ(CM_Get_Sibling(&second, first, 0), CR_SUCCESS);
    EXPECT_NE(IdOf(second).find("&MI_01\\"), std::string::npos);
    EXPECT_EQ(CM_Get_Sibling(&none, second, 0), CR_NO_SUCH_DEVNODE);
    ASSERT_EQ(CM_Get_Child(&printer, first, 0), CR_SUCCESS);
    EXPECT_EQ(IdOf(printer).rfind("USBPRINT\\QZLASER10\\", 0), 0u);
    EXPECT_EQ(CM_Get_Child(&none, printer, 0), CR_NO_SUCH_DEVNODE);
    ASSERT_EQ(CM_Get_Parent(&parent, printer, 0), CR_SUCCESS);
    EXPECT_EQ(parent, first);

    // The bus node hangs below the root, among the root's other children.
    DEVINST root = 0, node = 0;
    ASSERT_EQ(CM_Get_Parent(&root, bus_, 0), CR_SUCCESS);
    EXPECT_EQ(IdOf(root), "HTREE\\ROOT\\0");
    EXPECT_EQ(CM_Get_Parent(&none, root, 0), CR_NO_SUCH_DEVNODE);
    bool found = false;
    for (CONFIGRET cr = CM_Get_Child(&node, root, 0); cr == CR_SUCCESS && !found; cr = CM_Get_Sibling(&node, node, 0))
        found = node == bus_;
    EXPECT_TRUE(found);

    ULONG size = 0;
    char cut[8];
    ASSERT_EQ(CM_Get_Device_ID_Size(&size, bus_, 0), CR_SUCCESS);
    EXPECT_EQ(size, busId_.size());
    EXPECT_EQ(CM_Get_Device_IDA(bus_, cut, sizeof cut, 0), CR_BUFFER_SMALL);
    EXPECT_EQ(CM_Locate_DevNodeA(&none, const_cast<char*>("USB\\VID_FFFF&PID_FFFF\\NONE"), 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Get_Child(&none, 0x7FFFFFFF, 0), CR_INVALID_DEVNODE);
}

TEST_F(DeviceTreeStandIn, PropertiesAndKeys) {
    DEVINST first = 0, second = 0, printer = 0;
    ASSERT_EQ(CM_Get_Child(&first, bus_, 0), CR_SUCCESS);
    ASSERT_EQ(CM_Get_Sibling(&second, first, 0), CR_SUCCESS);
    ASSERT_EQ(CM_Get_Child(&printer, first, 0), CR_SUCCESS);
    EXPECT_EQ(Property(bus_, CM_DRP_SERVICE), "usbccgp");
    EXPECT_EQ(Property(first, CM_DRP_SERVICE), "usbprint");
    EXPECT_EQ(Property(second, CM_DRP_SERVICE), "USBSTOR");
    EXPECT_EQ(Property(bus_, CM_DRP_HARDWAREID), "USB\\VID_0A5C&PID_0001&REV_0100");
    EXPECT_EQ(Property(printer, CM_DRP_ENUMERATOR_NAME), "USBPRINT");
    EXPECT_EQ(Property(printer, CM_DRP_DRIVER).rfind("{4d36e979-e325-11ce-bfc1-08002be10318}\\", 0), 0u);
    CONFIGRET cr = CR_SUCCESS;
    Property(bus_, CM_DRP_UPPERFILTERS, &cr);
    EXPECT_EQ(cr, CR_NO_SUCH_VALUE);
    Property(bus_, 0, &cr);
    EXPECT_EQ(cr, CR_INVALID_PROPERTY);
    ULONG length = 2, type = 0;
    char small[2];
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyA(bus_, CM_DRP_SERVICE, &type, small, &length, 0), CR_BUFFER_SMALL);
    EXPECT_EQ(length, sizeof "usbccgp");

    EXPECT_EQ(KeyValue(printer, CM_REGISTRY_HARDWARE, devtree::kPortName).rfind("USB", 0), 0u);
    EXPECT_EQ(KeyValue(printer, CM_REGISTRY_SOFTWARE, devtree::kDriverDesc), "QZ Laser 10");
}

TEST_F(DeviceTreeStandIn, StatusProblemAndAVetoedEject) {
    ULONG status = 0, problem = 1;
    ASSERT_EQ(CM_Get_DevNode_Status(&status, &problem, bus_, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_STARTED | DN_REMOVABLE | DN_DISABLEABLE), ULONG{DN_STARTED | DN_REMOVABLE | DN_DISABLEABLE});
    EXPECT_EQ(problem, 0u);
    ASSERT_TRUE(writer_.Apply(busId_, {10, 1, true}));
    ASSERT_EQ(CM_Get_DevNode_Status(&status, &problem, bus_, 0), CR_SUCCESS);
    EXPECT_TRUE(status & DN_HAS_PROBLEM);
    EXPECT_EQ(problem, 10u);
    ASSERT_TRUE(writer_.Apply(busId_, {0, 1, true}));

    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    char name[MAX_PATH] = {};
    EXPECT_EQ(CM_Request_Device_EjectA(bus_, &veto, name, MAX_PATH, 0), CR_REMOVE_VETOED);
    EXPECT_EQ(veto, PNP_VetoDevice);
    EXPECT_EQ(std::string(name), busId_);
    EXPECT_EQ(CM_Request_Device_EjectA(bus_, &veto, name, MAX_PATH, 0), CR_SUCCESS);
    qz::RegKey key;
    DWORD ejects = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, devtree::EnumKeyPath(busId_).c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    ASSERT_TRUE(devtree::ReadDword(key.get(), devtree::kEjects, &ejects));
    EXPECT_EQ(ejects, 2u);
    ASSERT_EQ(CM_Get_DevNode_Status(&status, &problem, bus_, 0), CR_SUCCESS);
    EXPECT_FALSE(status & DN_STARTED);

    ASSERT_TRUE(writer_.Apply(busId_, {0, 0, false}));
    EXPECT_EQ(CM_Request_Device_EjectA(bus_, &veto, nullptr, 0, 0), CR_REMOVE_VETOED);
    EXPECT_EQ(veto, PNP_VetoIllegalDeviceRequest);
}

// Wine's own SetupAPI reads the same keys: the library may open the nodes through it.
TEST_F(DeviceTreeStandIn, SetupApiOpensTheNodes) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA info = {};
    info.cbSize = sizeof info;
    char service[64] = {};
    EXPECT_TRUE(SetupDiOpenDeviceInfoA(set, busId_.c_str(), nullptr, 0, &info));
    EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_SERVICE, nullptr, reinterpret_cast<BYTE*>(service),
                                                  sizeof service, nullptr));
    EXPECT_STREQ(service, "usbccgp");
    SetupDiDestroyDeviceInfoList(set);
}

// An unplugged device's nodes stay as on Windows: found only by a phantom lookup, readable for
// their properties and keys, out of the tree; the device's next plug makes them present again
// with the same driver key and port.
TEST_F(DeviceTreeStandIn, AnUnpluggedDeviceLeavesNodesThatOnlyAPhantomLookupFinds) {
    DEVINST first = 0, printer = 0, node = 0, none = 0;
    ASSERT_EQ(CM_Get_Child(&first, bus_, 0), CR_SUCCESS);
    ASSERT_EQ(CM_Get_Child(&printer, first, 0), CR_SUCCESS);
    std::string printerId = IdOf(printer);
    std::string port = KeyValue(printer, CM_REGISTRY_HARDWARE, devtree::kPortName);
    std::string driver = Property(printer, CM_DRP_DRIVER);
    writer_.Unplug(busId_);

    EXPECT_FALSE(writer_.Present(busId_));
    for (const std::string& id : {busId_, printerId})
        EXPECT_EQ(CM_Locate_DevNodeA(&none, const_cast<char*>(id.c_str()), CM_LOCATE_DEVNODE_NORMAL),
                  CR_NO_SUCH_DEVNODE);
    ASSERT_EQ(CM_Locate_DevNodeA(&node, const_cast<char*>(printerId.c_str()), CM_LOCATE_DEVNODE_PHANTOM), CR_SUCCESS);
    EXPECT_EQ(node, printer);
    EXPECT_EQ(KeyValue(node, CM_REGISTRY_HARDWARE, devtree::kPortName), port);
    EXPECT_EQ(KeyValue(node, CM_REGISTRY_SOFTWARE, devtree::kDriverDesc), "QZ Laser 10");
    EXPECT_EQ(Property(node, CM_DRP_DRIVER), driver);
    ULONG status = 0, problem = 0;
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, node, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Get_Child(&none, bus_, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Get_Parent(&none, node, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Request_Device_EjectA(bus_, nullptr, nullptr, 0, 0), CR_NO_SUCH_DEVNODE);
    DEVINST root = 0;
    ASSERT_EQ(CM_Locate_DevNodeA(&root, nullptr, 0), CR_SUCCESS);
    for (CONFIGRET cr = CM_Get_Child(&node, root, 0); cr == CR_SUCCESS; cr = CM_Get_Sibling(&node, node, 0))
        EXPECT_NE(node, bus_);

    ASSERT_TRUE(writer_.Write(nodes_, true));
    ASSERT_EQ(CM_Locate_DevNodeA(&node, const_cast<char*>(printerId.c_str()), CM_LOCATE_DEVNODE_NORMAL), CR_SUCCESS);
    EXPECT_EQ(KeyValue(node, CM_REGISTRY_HARDWARE, devtree::kPortName), port);
    EXPECT_EQ(Property(node, CM_DRP_DRIVER), driver);
    ASSERT_EQ(CM_Get_DevNode_Status(&status, &problem, node, 0), CR_SUCCESS);
}

// Removal (the bridge's end) takes the nodes with their ports and driver keys, also from an
// unplugged device.
TEST_F(DeviceTreeStandIn, ARemovedTreeLeavesNoNodesPortsOrDriverKeys) {
    DEVINST first = 0, printer = 0, none = 0;
    ASSERT_EQ(CM_Get_Child(&first, bus_, 0), CR_SUCCESS);
    ASSERT_EQ(CM_Get_Child(&printer, first, 0), CR_SUCCESS);
    std::string port = KeyValue(printer, CM_REGISTRY_HARDWARE, devtree::kPortName);
    std::string driver = Property(printer, CM_DRP_DRIVER);
    writer_.Unplug(busId_);
    writer_.RemoveTree(busId_);
    ULONG status = 0, problem = 0;
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, printer, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(CM_Locate_DevNodeA(&none, const_cast<char*>(busId_.c_str()), CM_LOCATE_DEVNODE_PHANTOM),
              CR_NO_SUCH_DEVNODE);
    qz::RegKey key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(devtree::kPortsPath) + "\\" + port).c_str(), 0, KEY_READ,
                            key.put()),
              ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(devtree::kClassPath) + "\\" + driver).c_str(), 0,
                            KEY_READ, key.put()),
              ERROR_SUCCESS);
}

}  // namespace
