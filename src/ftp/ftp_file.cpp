#include "ftp/ftp_file.h"

#include "base/decimal.h"
#include "proxy/socket_channel.h"
#include "proxy/stream_copy.h"
#include "settings/registry_functions.h"

namespace {

// The byte count of "... (12345 bytes).", or -1.
int AnnouncedSize(const TextBuffer& reply) {
    int open = reply.ReverseFind('(');
    TextBuffer token;
    if (open <= 0 || !reply.Tokenize(open, token, "()b. ")) {
        return -1;
    }
    return LeadingDecimal(token.CStr());
}

TextBuffer ContentTypeOf(const TextBuffer& name) {
    TextBuffer type("application/unknown");
    TextBuffer extension = name.ExtensionOf();
    if (!extension.IsEmpty()) {
        RegReadText(platform::kHkeyClassesRoot, extension.CStr(), "Content Type", type);
    }
    return type;
}

} // namespace

int FtpSendFile(SocketChannel& browser, const TextBuffer& name, const TextBuffer& retrReply,
                SocketChannel* data) {
    if (retrReply.IsEmpty() || !data) {
        return 0;
    }
    int size = AnnouncedSize(retrReply);
    TextBuffer head("HTTP/1.1 200 OK\r\n");
    TextBuffer line;
    if (size > 0 && (!line.Format("Content-Length: %d\r\n", size) || !head.Append(line))) {
        return 0;
    }
    TextBuffer type = ContentTypeOf(name);
    if (!head.Append("Content-Type: ") || !head.Append(type) || !head.Append("\r\n\r\n") ||
        browser.Send(head.CStr(), head.Length()) < 0) {
        return 0;
    }
    CopyStream(*data, browser);
    return 1;
}
