#pragma once

#include "base/text_buffer.h"

class SocketChannel;

// Answers the browser with the file that `data` delivers: a 200 head with the size
// from the "(N bytes)" of the RETR reply and the content type registered for the
// name's extension, then the bytes as they come. 1 once the head was written.
int FtpSendFile(SocketChannel& browser, const TextBuffer& name, const TextBuffer& retrReply,
                SocketChannel* data);
