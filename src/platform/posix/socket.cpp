#include "platform/socket.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {
thread_local int lastError = 0;

int Result(int value) {
    if (value < 0) {
        lastError = errno;
        return kSocketError;
    }
    return value;
}
} // namespace

// A peer that goes away mid-send must give an error result, not end the process.
int WinsockStartup() {
    std::signal(SIGPIPE, SIG_IGN);
    return 0;
}

void WinsockCleanup() {}

Socket OpenTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError = errno;
        return kInvalidSocket;
    }
    // Winsock lets a listener take a port whose old connections are still closing.
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return static_cast<Socket>(fd);
}

int BindSocket(Socket s, int port, bool loopbackOnly) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return Result(
        ::bind(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), sizeof address));
}

const int kMaxListenBacklog = SOMAXCONN;

int ListenSocket(Socket s, int backlog) {
    return Result(::listen(static_cast<int>(s), backlog));
}

Socket AcceptSocket(Socket s) {
    sockaddr_in peer = {};
    socklen_t size = sizeof peer;
    int fd;
    do {
        fd =
            ::accept4(static_cast<int>(s), reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        lastError = errno;
        return kInvalidSocket;
    }
    return static_cast<Socket>(fd);
}

int ConnectSocket(Socket s, unsigned long address, int port) {
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = static_cast<in_addr_t>(address);
    target.sin_port = htons(static_cast<uint16_t>(port));
    return Result(
        ::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&target), sizeof target));
}

namespace {

int SendWith(Socket s, const char* data, int length, int flags) {
    ssize_t sent;
    do {
        sent = ::send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL | flags);
    } while (sent < 0 && errno == EINTR);
    return Result(static_cast<int>(sent));
}

int ReceiveWith(Socket s, char* buffer, int length, int flags) {
    ssize_t received;
    do {
        received = ::recv(static_cast<int>(s), buffer, static_cast<size_t>(length), flags);
    } while (received < 0 && errno == EINTR);
    return Result(static_cast<int>(received));
}

} // namespace

const bool kSocketsHoldBack = true;

int SendSocket(Socket s, const char* data, int length) {
    return SendWith(s, data, length, 0);
}

int SendSocketMore(Socket s, const char* data, int length) {
    return SendWith(s, data, length, MSG_MORE);
}

// Setting TCP_NODELAY sends what is pending, every time it is set.
void PushSocket(Socket s) {
    int on = 1;
    ::setsockopt(static_cast<int>(s), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int ReceiveSocket(Socket s, char* buffer, int length) {
    return ReceiveWith(s, buffer, length, 0);
}

int ReceiveSocketIfReady(Socket s, char* buffer, int length) {
    int count = ReceiveWith(s, buffer, length, MSG_DONTWAIT);
    return count == kSocketError && (lastError == EAGAIN || lastError == EWOULDBLOCK)
               ? kSocketNotReady
               : count;
}

int CloseSocket(Socket s) {
    return Result(::close(static_cast<int>(s)));
}

// On Linux a shutdown wakes a blocked recv; closing the descriptor would not.
void CancelSocketIo(Socket s) {
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
}

int LocalPort(Socket s) {
    sockaddr_in address = {};
    socklen_t size = sizeof address;
    if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

bool PeerAddress(Socket s, char* dotted, int size) {
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    if (::getpeername(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    return ::inet_ntop(AF_INET, &address.sin_addr, dotted, static_cast<socklen_t>(size)) != nullptr;
}

int LastSocketError() {
    return lastError;
}

unsigned long InetAddr(const char* text) {
    return ::inet_addr(text);
}

bool ResolveHostName(const char* name, char* dotted, int size) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answers = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &answers) != 0 || !answers) {
        return false;
    }
    const sockaddr_in* first = reinterpret_cast<const sockaddr_in*>(answers->ai_addr);
    bool ok = ::inet_ntop(AF_INET, &first->sin_addr, dotted, static_cast<socklen_t>(size));
    ::freeaddrinfo(answers);
    return ok;
}

} // namespace platform
