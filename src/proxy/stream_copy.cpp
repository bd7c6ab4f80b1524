#include "proxy/stream_copy.h"

#include "platform/socket.h"
#include "proxy/socket_channel.h"

namespace {

// A receive that first sends out what `sink` holds back when it would have to wait.
int ReceiveBlock(SocketChannel& source, SocketChannel& sink, bool sinkHolds, char* block) {
    if (sinkHolds) {
        int count = source.ReceiveIfReady(block, kStreamBlockSize);
        if (count != platform::kSocketNotReady) {
            return count;
        }
        sink.Push();
    }
    return source.Receive(block, kStreamBlockSize);
}

} // namespace

StreamEnd CopyStream(SocketChannel& source, SocketChannel& sink) {
    char block[kStreamBlockSize];
    bool sinkHolds = false;
    for (;;) {
        int count = ReceiveBlock(source, sink, sinkHolds, block);
        if (count <= 0) {
            if (sinkHolds) {
                sink.Push();
            }
            return count == 0 ? StreamEnd::kSourceClosed : StreamEnd::kSourceFailed;
        }
        sinkHolds = platform::kSocketsHoldBack && count == kStreamBlockSize;
        int sent = sinkHolds ? sink.SendMore(block, count) : sink.Send(block, count);
        if (sent < 1) {
            return StreamEnd::kSinkFailed;
        }
    }
}
