#pragma once

#include <cstdint>

// Blocking IPv4 TCP sockets, shaped after Winsock 1.1. Results follow the BSD
// calls: 0 for success and -1 (kSocketError) for failure, counts for send and
// receive, kInvalidSocket for a socket that could not be made.

namespace platform {

using Socket = std::uintptr_t;

const Socket kInvalidSocket = ~static_cast<Socket>(0);
const int kSocketError = -1;
// ReceiveSocketIfReady: nothing has arrived yet.
const int kSocketNotReady = -2;
const unsigned long kInaddrNone = 0xFFFFFFFF;

// WSAStartup with version 1.1; 0 on success.
int WinsockStartup();
void WinsockCleanup();

Socket OpenTcpSocket();
// Binds to every local address, or only to 127.0.0.1 and then exclusively (no other
// socket may share the port, on any address); port 0 lets the system choose.
int BindSocket(Socket s, int port, bool loopbackOnly);
// The longest queue of connections the system lets a listening socket have.
extern const int kMaxListenBacklog;
int ListenSocket(Socket s, int backlog);
Socket AcceptSocket(Socket s);
// `address` is an IPv4 address in network byte order, as InetAddr gives it.
int ConnectSocket(Socket s, unsigned long address, int port);
int SendSocket(Socket s, const char* data, int length);
int ReceiveSocket(Socket s, char* buffer, int length);
// As ReceiveSocket, but kSocketNotReady instead of waiting when nothing is there.
int ReceiveSocketIfReady(Socket s, char* buffer, int length);

// Whether SendSocketMore may hold bytes back. Where it does, small sends that follow
// each other coalesce into fewer, larger segments.
extern const bool kSocketsHoldBack;
// As SendSocket, telling the system more bytes follow at once: it may keep these
// until a plain SendSocket or PushSocket.
int SendSocketMore(Socket s, const char* data, int length);
// Sends out whatever SendSocketMore held back.
void PushSocket(Socket s);
int CloseSocket(Socket s);
// Makes a receive that is blocked on `s` in another thread return; the socket must
// still be closed by its owner.
void CancelSocketIo(Socket s);
// The local port a bound socket has, or -1.
int LocalPort(Socket s);
// The address a connected socket's peer has, as dotted text (at least 16 bytes).
bool PeerAddress(Socket s, char* dotted, int size);
// The error code of the last failed socket call on this thread.
int LastSocketError();

// The dotted IPv4 text as a network-order address, or kInaddrNone.
unsigned long InetAddr(const char* text);
// Looks `name` up and writes its first IPv4 address as dotted text (at least 16
// bytes). Safe to call from several threads at once.
bool ResolveHostName(const char* name, char* dotted, int size);

} // namespace platform
