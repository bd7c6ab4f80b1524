#pragma once

class SocketChannel;

// Response bodies and files move from one connection to the other in blocks of this
// size, never more than one block held at a time.
const int kStreamBlockSize = 1024;

enum class StreamEnd { kSourceClosed, kSourceFailed, kSinkFailed };

// Copies `source` to `sink` block by block until the source closes or a receive or
// send fails. A full block is sent as one that more bytes follow at once, so the
// system may join blocks into larger segments; before a receive would wait, what it
// holds back goes out, so nothing lingers while the source is quiet.
StreamEnd CopyStream(SocketChannel& source, SocketChannel& sink);
