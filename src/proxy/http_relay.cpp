// The relay of one HTTP request: the service features answer or adjust it, it goes
// to the origin or through the translation host, a POST body is forwarded as it
// arrives, and the answer is copied back byte for byte until the server closes.
// Nothing is buffered beyond one block in either direction, except the translation
// host's answer head, which is kept until it is complete.
#include <new>

#include "base/trace.h"
#include "proxy/agent.h"
#include "proxy/stream_copy.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"
#include "services/request_class.h"
#include "services/switch_request.h"
#include "services/translation.h"

int Agent::ServeSpecialRequest(const TextBuffer& host) {
    TextBuffer word;
    switch (ClassifySpecialUrl(request_->GetUrlObject(), word)) {
    case kOneWordHost:
        return RedirectUnresolvedHost(*client_, host);
    case kSuiteDomain:
        AddClientCookie(*request_);
        return 0;
    case kSwitchRequest:
        return HandleJ2KSwitchUrl(*client_, word);
    default:
        return 0;
    }
}

int Agent::RelayHttp() {
    TextBuffer host;
    int port = 0;
    if (!request_->GetHostPort(host, port)) {
        return 0;
    }
    if (ServeSpecialRequest(host)) {
        return 1;
    }
    const Url& url = request_->GetUrlObject();
    int hostDirDecision = translationMode_ ? CheckHostDir(url) : 0;
    int objectDecision = hostDirDecision ? CheckObject(url) : 0;
    bool useTranslation = translationMode_ && hostDirDecision && objectDecision;

    SocketChannel server;
    if (!server.Create() || !server.Bind(0) || !server.AttachStopEvent(stopEvent_)) {
        return 0;
    }
    // Declared after `server`, so it is unregistered before the channel closes.
    UpstreamWatch watch(*this, server);
    // Every connect after a failed one gets a fresh socket: whether a socket whose
    // connect failed can connect again differs between systems.
    int attempts = 0;
    auto connect = [&](auto how) {
        return (attempts++ == 0 || (server.Create() && server.Bind(0))) && how();
    };
    if (useTranslation) {
        useTranslation = (translationMode_ == 2 &&
                          connect([&] { return ConnectTranslationHostPrimary(server); })) ||
                         connect([&] { return ConnectTranslationHostFallback(server); });
    }
    if (!useTranslation && !connect([&] { return server.Connect(host.CStr(), port); })) {
        Trace("Failed to connect the host %s:%d\n", host.CStr(), port);
        return 0;
    }
    TextBuffer outHead;
    int built = useTranslation ? request_->BuildProxyRequest(outHead)
                               : request_->BuildOriginRequest(outHead);
    if (!built || server.Send(outHead.CStr(), outHead.Length()) < 1) {
        return 0;
    }
    if (request_->GetMethod() == "POST" && !ForwardRequestBody(server)) {
        return 0;
    }
    DataChunk* chunks = nullptr;
    if (useTranslation) {
        TextBuffer head;
        chunks = ReadResponseHead(server, head);
        LearnFromAnswer(head, hostDirDecision, objectDecision);
    }
    CopyToClient(server, chunks);
    delete chunks;
    return 1;
}

// A head that does not parse teaches nothing.
void Agent::LearnFromAnswer(const TextBuffer& head, int hostDirDecision, int objectDecision) {
    if (head.IsEmpty()) {
        return;
    }
    delete response_;
    response_ = new (std::nothrow) HttpResponse;
    if (!response_) {
        return;
    }
    response_->SetHead(head.CStr());
    if (response_->Parse()) {
        LearnFromTranslation(request_->GetUrlObject(), *response_, hostDirDecision, objectDecision);
    }
}

DataChunk* ReadResponseHead(SocketChannel& server, TextBuffer& head) {
    head.Empty();
    DataChunk* chunks = nullptr;
    DataChunk* last = nullptr;
    TextBuffer gathered;
    char block[kStreamBlockSize + 1];
    for (;;) {
        int count = server.Receive(block, kStreamBlockSize);
        if (count < 0) {
            delete chunks;
            return nullptr;
        }
        if (count == 0) {
            return chunks;
        }
        block[count] = '\0';
        DataChunk* chunk = new (std::nothrow) DataChunk;
        if (!chunk || !chunk->SetData(block, count, 1)) {
            delete chunk;
            return chunks;
        }
        if (last) {
            last->InsertAfter(chunk);
        } else {
            chunks = chunk;
        }
        last = chunk;
        gathered.Append(block);
        int end = HeadEnd(gathered);
        if (end >= 0) {
            head = end < gathered.Length() ? gathered.Left(end) : gathered;
            return chunks;
        }
        // A head that has not ended within the bound is none: the bytes go to the
        // browser as they are and nothing is learned.
        if (gathered.Length() > Agent::kMaxHeadBytes) {
            return chunks;
        }
    }
}
// The bytes that came with the head, then up to "Content-Length" more from the
// browser. 0 only when the first bytes cannot be sent; a body that cannot be read
// or forwarded further leaves the server to answer what it got.
int Agent::ForwardRequestBody(SocketChannel& server) {
    long long sent = 0;
    if (!remainder_.IsEmpty()) {
        if (server.Send(remainder_.CStr(), remainder_.Length()) < 1) {
            return 0;
        }
        sent = remainder_.Length();
    }
    int total = request_->GetContentLength();
    char block[kStreamBlockSize];
    while (sent < total) {
        int count = client_->Receive(block, kStreamBlockSize);
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
    return CopyStream(server, *client_) == StreamEnd::kSourceClosed ? 1 : 0;
}
