// The listener takes its port exclusively. Wine lets no second bind succeed either
// way, so the option itself is read back; on Windows it is what refuses a port that
// another program holds on every address.
#include "platform/socket.h"

#include <gtest/gtest.h>
#include <winsock2.h>

TEST(ExclusivePort, OnlyTheListenersBindTakesItsPortExclusively) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    for (bool listening : {true, false}) {
        platform::Socket s = platform::OpenTcpSocket();
        ASSERT_EQ(platform::BindSocket(s, 0, listening), 0);
        BOOL exclusive = FALSE;
        int size = sizeof exclusive;
        ASSERT_EQ(getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                             reinterpret_cast<char*>(&exclusive), &size),
                  0);
        EXPECT_EQ(exclusive != FALSE, listening);
        platform::CloseSocket(s);
    }
    WSACleanup();
}
