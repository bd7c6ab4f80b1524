#include "proxy/socket_channel.h"

#include <cstring>
#include <new>

#include "base/text_buffer.h"
#include "base/trace.h"
#include "control/module_state.h"
#include "proxy/host_name_cache.h"

using namespace platform;

SocketChannel::~SocketChannel() {
    Close();
    if (stopEvent_) {
        CloseHandle(stopEvent_);
    }
}

int SocketChannel::Create() {
    Close();
    socket_ = OpenTcpSocket();
    return Raw() != kInvalidSocket ? 1 : 0;
}

int SocketChannel::Bind(int port) {
    return (Raw() != kInvalidSocket && BindSocket(Raw(), port, false) == 0) ? 1 : 0;
}

int SocketChannel::BindLoopback(int port) {
    return (Raw() != kInvalidSocket && BindSocket(Raw(), port, true) == 0) ? 1 : 0;
}

int SocketChannel::Listen() {
    return (Raw() != kInvalidSocket && ListenSocket(Raw(), kMaxListenBacklog) == 0) ? 1 : 0;
}

SocketChannel* SocketChannel::Accept() {
    if (Raw() == kInvalidSocket) {
        return nullptr;
    }
    Socket accepted = AcceptSocket(Raw());
    if (accepted == kInvalidSocket) {
        return nullptr;
    }
    SocketChannel* channel = new (std::nothrow) SocketChannel(accepted);
    if (!channel) {
        CloseSocket(accepted);
    }
    return channel;
}

int SocketChannel::Connect(const char* host, int port) {
    HostNameCache* cache = moduleState.hostNameCache;
    if (Raw() == kInvalidSocket || !cache || IsStopped()) {
        return 0;
    }
    TextBuffer address;
    if (!cache->Resolve(host, address) || IsStopped()) {
        return 0;
    }
    if (ConnectSocket(Raw(), InetAddr(address.CStr()), port) != 0) {
        Trace("Unable to connect to %s:%d [%d]\n", host, port, LastSocketError());
        return 0;
    }
    return 1;
}

int SocketChannel::Send(const char* data, int length) {
    return SendWith(data, length, false);
}

int SocketChannel::SendMore(const char* data, int length) {
    return SendWith(data, length, true);
}

void SocketChannel::Push() {
    platform::PushSocket(Raw());
}

int SocketChannel::SendWith(const char* data, int length, bool more) {
    if (Raw() == kInvalidSocket) {
        return -1;
    }
    if (length <= 0) {
        return 0;
    }
    int sent = 0;
    while (sent < length) {
        if (IsStopped()) {
            Trace("Send\xC1\xDF Kill Event \xB9\xDF\xBB\xFD !!\n");
            return -1;
        }
        int count = more ? platform::SendSocketMore(Raw(), data + sent, length - sent)
                         : SendSocket(Raw(), data + sent, length - sent);
        if (count == kSocketError) {
            return -1;
        }
        sent += count;
    }
    return sent;
}

int SocketChannel::Receive(char* buffer, int length) {
    return ReceiveWith(buffer, length, false);
}

int SocketChannel::ReceiveIfReady(char* buffer, int length) {
    return ReceiveWith(buffer, length, true);
}

int SocketChannel::ReceiveWith(char* buffer, int length, bool ifReady) {
    if (Raw() == kInvalidSocket || !buffer) {
        return -1;
    }
    if (IsStopped()) {
        Trace("Receive\xC1\xDF Kill Event \xB9\xDF\xBB\xFD !!\n");
        return -1;
    }
    if (length > 0) {
        std::memset(buffer, 0, static_cast<size_t>(length));
    }
    int count = ifReady ? platform::ReceiveSocketIfReady(Raw(), buffer, length)
                        : ReceiveSocket(Raw(), buffer, length);
    return count == kSocketError ? -1 : count;
}

int SocketChannel::ReceiveText(char* buffer, int length) {
    int count = Receive(buffer, length);
    if (count > 0) {
        buffer[count] = '\0';
    }
    return count;
}

int SocketChannel::Close() {
    Socket s = socket_.exchange(kInvalidSocket);
    if (s == kInvalidSocket) {
        return 0;
    }
    return CloseSocket(s) == 0 ? 1 : 0;
}

int SocketChannel::AttachStopEvent(Handle event) {
    Handle duplicate = nullptr;
    if (!event || !DuplicateHandle(event, &duplicate)) {
        return 0;
    }
    if (stopEvent_) {
        CloseHandle(stopEvent_);
    }
    stopEvent_ = duplicate;
    return 1;
}

int SocketChannel::IsStopped() const {
    if (!stopEvent_) {
        return 0;
    }
    return WaitForSingleObject(stopEvent_, 0) != kWaitTimeout ? 1 : 0;
}

void SocketChannel::CancelIo() {
    Socket s = Raw();
    if (s != kInvalidSocket) {
        CancelSocketIo(s);
    }
}

int SocketChannel::LocalPort() const {
    return Raw() != kInvalidSocket ? platform::LocalPort(Raw()) : -1;
}

int SocketChannel::PeerAddress(TextBuffer& dotted) const {
    char text[32] = {};
    if (Raw() == kInvalidSocket || !platform::PeerAddress(Raw(), text, sizeof text)) {
        return 0;
    }
    dotted.Assign(text);
    return 1;
}
