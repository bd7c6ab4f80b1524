#include "platform/socket.h"

#include <cstring>

#include <winsock2.h>

namespace platform {
namespace {

// Writes `address` as dotted text into `dotted` (`size` bytes).
bool DottedText(in_addr address, char* dotted, int size) {
    const char* text = ::inet_ntoa(address);
    if (!text || static_cast<int>(std::strlen(text)) >= size) {
        return false;
    }
    std::strcpy(dotted, text);
    return true;
}

} // namespace

int WinsockStartup() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(1, 1), &data);
}

void WinsockCleanup() {
    ::WSACleanup();
}

Socket OpenTcpSocket() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

// The listener's bind takes its port exclusively: without it Windows lets the bind
// succeed beside another program that holds the port on every address, and that
// program, not the proxy, would get some of the browsers' connections.
int BindSocket(Socket s, int port, bool loopbackOnly) {
    BOOL exclusive = TRUE;
    if (loopbackOnly &&
        ::setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0) {
        return kSocketError;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    address.sin_port = htons(static_cast<u_short>(port));
    return ::bind(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&address), sizeof address);
}

const int kMaxListenBacklog = SOMAXCONN;

int ListenSocket(Socket s, int backlog) {
    return ::listen(static_cast<SOCKET>(s), backlog);
}

Socket AcceptSocket(Socket s) {
    sockaddr_in peer = {};
    int size = sizeof peer;
    SOCKET accepted = ::accept(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&peer), &size);
    return accepted == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(accepted);
}

int ConnectSocket(Socket s, unsigned long address, int port) {
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = address;
    target.sin_port = htons(static_cast<u_short>(port));
    return ::connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&target), sizeof target);
}

int SendSocket(Socket s, const char* data, int length) {
    return ::send(static_cast<SOCKET>(s), data, length, 0);
}

int ReceiveSocket(Socket s, char* buffer, int length) {
    return ::recv(static_cast<SOCKET>(s), buffer, length, 0);
}

int ReceiveSocketIfReady(Socket s, char* buffer, int length) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(s), &readable);
    timeval now = {0, 0};
    int ready = ::select(0, &readable, nullptr, nullptr, &now);
    if (ready == 0) {
        return kSocketNotReady;
    }
    return ready < 0 ? kSocketError : ReceiveSocket(s, buffer, length);
}

// Winsock has no way to hold a send back for the next one.
const bool kSocketsHoldBack = false;

int SendSocketMore(Socket s, const char* data, int length) {
    return SendSocket(s, data, length);
}

void PushSocket(Socket) {}

int CloseSocket(Socket s) {
    return ::closesocket(static_cast<SOCKET>(s));
}

// Winsock wakes a blocked recv when the socket's pending I/O is cancelled, which a
// shutdown alone does not do; the shutdown makes every later receive or send fail
// at once, so a call that had not started yet when the cut came cannot block.
void CancelSocketIo(Socket s) {
    ::shutdown(static_cast<SOCKET>(s), SD_BOTH);
    ::CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
}

int LocalPort(Socket s) {
    sockaddr_in address = {};
    int size = sizeof address;
    if (::getsockname(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

bool PeerAddress(Socket s, char* dotted, int size) {
    sockaddr_in address = {};
    int length = sizeof address;
    if (::getpeername(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&address), &length) !=
        0) {
        return false;
    }
    return DottedText(address.sin_addr, dotted, size);
}

int LastSocketError() {
    return ::WSAGetLastError();
}

unsigned long InetAddr(const char* text) {
    return ::inet_addr(text);
}

// Winsock keeps the answer of gethostbyname per thread, so concurrent lookups from
// different threads do not disturb each other.
bool ResolveHostName(const char* name, char* dotted, int size) {
    hostent* entry = ::gethostbyname(name);
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list[0]) {
        return false;
    }
    in_addr address;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return DottedText(address, dotted, size);
}

} // namespace platform
