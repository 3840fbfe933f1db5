// The local address list from the adapter table.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdio>
#include <cstring>

#include "local_addresses.h"

namespace {

void SetAdapter(IP_ADAPTER_INFO& adapter, const char* address, const char* mask, IP_ADAPTER_INFO* next) {
    std::memset(&adapter, 0, sizeof adapter);
    std::snprintf(adapter.IpAddressList.IpAddress.String, sizeof adapter.IpAddressList.IpAddress.String, "%s", address);
    std::snprintf(adapter.IpAddressList.IpMask.String, sizeof adapter.IpAddressList.IpMask.String, "%s", mask);
    adapter.Next = next;
}

TEST(LocalAddresses, FirstAddressOfEachAdapterWithAMask) {
    IP_ADAPTER_INFO adapters[5];
    SetAdapter(adapters[0], "10.77.0.1", "255.255.255.0", &adapters[1]);
    SetAdapter(adapters[1], "0.0.0.0", "0.0.0.0", &adapters[2]);          // no mask: skipped
    SetAdapter(adapters[2], "192.168.7.20", "255.255.0.0", &adapters[3]);
    SetAdapter(adapters[3], "300.1.1.1", "255.0.0.0", &adapters[4]);      // unreadable address
    SetAdapter(adapters[4], "10.1.1.1", "255.255.255.0.7", nullptr);      // unreadable mask
    std::vector<LocalAddress> list = LocalAddressesFromAdapters(adapters);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].address, inet_addr("10.77.0.1"));
    EXPECT_EQ(list[0].mask, inet_addr("255.255.255.0"));
    EXPECT_EQ(list[1].address, inet_addr("192.168.7.20"));
    EXPECT_EQ(list[2].address, 0u);
    EXPECT_TRUE(LocalAddressesFromAdapters(nullptr).empty());
}

TEST(LocalAddresses, RebuildReplacesTheList) {
    g_lib.localAddresses.assign(40, LocalAddress{1, 1});
    BuildLocalAddressList();
    for (const LocalAddress& a : LocalAddressesSnapshot()) EXPECT_NE(a.mask, 0u);
    EXPECT_LT(LocalAddressesSnapshot().size(), 40u);
}

}  // namespace
