// The listener takes its port exclusively: Wine refuses a second bind either way, so
// the option is read back (on Windows it refuses a port held on every address).
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
        getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<char*>(&exclusive), &size);
        EXPECT_EQ(exclusive != FALSE, listening);
        platform::CloseSocket(s);
    }
    WSACleanup();
}
