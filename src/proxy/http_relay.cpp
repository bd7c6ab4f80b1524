// The relay of one HTTP request: the head rebuilt for the origin, a POST body
// forwarded as it arrives, the answer copied back byte for byte until the server
// closes. Nothing is buffered beyond one block in either direction.
#include <cstring>

#include "base/trace.h"
#include "proxy/agent.h"

int Agent::RelayHttp() {
    TextBuffer host;
    int port = 0;
    if (!request_->GetHostPort(host, port)) {
        return 0;
    }
    SocketChannel server;
    if (!server.Create() || !server.Bind(0) || !server.AttachStopEvent(stopEvent_)) {
        return 0;
    }
    // Declared after `server`, so it is unregistered before the channel closes.
    UpstreamWatch watch(*this, server);
    if (!server.Connect(host.CStr(), port)) {
        Trace("Failed to connect the host %s:%d\n", host.CStr(), port);
        return 0;
    }
    TextBuffer outHead;
    if (!request_->BuildOriginRequest(outHead) ||
        server.Send(outHead.CStr(), outHead.Length()) < 1) {
        return 0;
    }
    if (request_->GetMethod() == "POST" && !ForwardRequestBody(server)) {
        return 0;
    }
    CopyToClient(server, nullptr);
    return 1;
}

// The bytes that came with the head, then up to "Content-Length" more from the
// browser. 0 only when the first bytes cannot be sent; a body that cannot be read
// or forwarded further leaves the server to answer what it got.
int Agent::ForwardRequestBody(SocketChannel& server) {
    int sent = 0;
    if (!remainder_.IsEmpty()) {
        if (server.Send(remainder_.CStr(), remainder_.Length()) < 1) {
            return 0;
        }
        sent = remainder_.Length();
    }
    int total = request_->GetContentLength();
    char block[kRelayBlockSize];
    while (sent < total) {
        int count = client_->Receive(block, kRelayBlockSize);
        if (count < 1) {
            break;
        }
        sent += count;
        if (server.Send(block, count) < 1) {
            break;
        }
    }
    return 1;
}

int Agent::CopyToClient(SocketChannel& server, DataChunk* chunks) {
    for (DataChunk* chunk = chunks; chunk; chunk = chunk->Next()) {
        if (client_->Send(chunk->GetData(), chunk->GetLength()) < 1) {
            break;
        }
    }
    char block[kRelayBlockSize];
    for (;;) {
        int count = server.Receive(block, kRelayBlockSize);
        if (count <= 0) {
            return count == 0 ? 1 : 0;
        }
        if (client_->Send(block, count) < 1) {
            return 0;
        }
    }
}
