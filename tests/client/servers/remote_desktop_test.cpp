// Remote-desktop mode: which connections name a desktop client.
#include <gtest/gtest.h>
#include <winsock2.h>

#include "remote_desktop.h"

namespace {

TEST(RemoteDesktopClients, ConnectionsToTheDesktopPortOfThisPcOnlyEachClientOnce) {
    const std::vector<LocalAddress> own = {{inet_addr("10.77.0.1"), inet_addr("255.255.255.0")}};
    const std::vector<TcpConnection> table = {
        {inet_addr("10.77.0.1"), 3389, inet_addr("10.77.0.30")},
        {inet_addr("10.77.0.1"), 3389, inet_addr("10.77.0.30")},  // a second session
        {inet_addr("10.77.0.1"), 3390, inet_addr("10.77.0.31")},  // another port
        {inet_addr("127.0.0.1"), 3389, inet_addr("127.0.0.1")},   // not one of this PC's adapters
        {0, 3389, 0},                                             // the listening socket
        {inet_addr("10.77.0.1"), 3389, inet_addr("10.77.0.32")},
    };
    EXPECT_EQ(RemoteDesktopClients(table, 3389, own),
              (std::vector<uint32_t>{inet_addr("10.77.0.30"), inet_addr("10.77.0.32")}));
    EXPECT_EQ(RemoteDesktopClients(table, 3390, own), std::vector<uint32_t>{inet_addr("10.77.0.31")});
    EXPECT_TRUE(RemoteDesktopClients(table, 3389, {}).empty());
}

}  // namespace
