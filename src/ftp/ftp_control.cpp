#include "ftp/ftp_control.h"

#include <cstring>

#include "base/decimal.h"
#include "base/trace.h"
#include "proxy/socket_channel.h"

namespace {

const int kReplyBlockSize = 1024;
// A reply that has not ended within this many bytes is not an FTP reply.
const int kMaxReplyBytes = 64 * 1024;

// The class of a final reply line ("ddd text"), or -1 for any other line.
int ReplyClass(const TextBuffer& line) {
    if (line.Length() < 4 || line.CharAt(3) != ' ') {
        return -1;
    }
    for (int i = 0; i < 3; ++i) {
        if (line.CharAt(i) < '0' || line.CharAt(i) > '9') {
            return -1;
        }
    }
    return line.CharAt(0) - '0';
}

// The last non-empty line of one receive.
TextBuffer LastLine(const char* block) {
    TextBuffer text(block);
    TextBuffer line;
    TextBuffer last;
    int pos = 0;
    while (text.Tokenize(pos, line, "\r\n")) {
        last = line;
    }
    return last;
}

int ReadReply(SocketChannel& control, const char* command, TextBuffer* reply) {
    if (command && control.Send(command, static_cast<int>(std::strlen(command))) < 0) {
        return -1;
    }
    if (reply) {
        reply->Empty();
    }
    char block[kReplyBlockSize + 1];
    int total = 0;
    for (;;) {
        int count = control.ReceiveText(block, kReplyBlockSize);
        if (count < 0) {
            return -1;
        }
        total += count;
        if (reply) {
            reply->Append(block);
        }
        int replyClass = count > 0 ? ReplyClass(LastLine(block)) : -1;
        if (replyClass >= 0) {
            return replyClass;
        }
        if (count == 0 || total > kMaxReplyBytes) {
            return -1;
        }
    }
}

} // namespace

int FtpCommand(SocketChannel& control, const char* command) {
    return ReadReply(control, command, nullptr);
}

int FtpCommandText(SocketChannel& control, const char* command, TextBuffer& reply) {
    return ReadReply(control, command, &reply);
}

int FtpChangeDir(SocketChannel& control, const TextBuffer& directory) {
    if (directory.IsEmpty()) {
        return 1;
    }
    TextBuffer command;
    if (!command.Format("CWD %s\r\n", directory.CStr()) ||
        FtpCommand(control, command.CStr()) != 2) {
        Trace("Unable to change working directory to %s.\n", directory.CStr());
        return 0;
    }
    return 1;
}

int FtpOpenPassive(const TextBuffer& reply, const SocketChannel& control, SocketChannel* data) {
    int open = reply.Find('(');
    if (reply.IsEmpty() || !data || open < 0) {
        return 0;
    }
    TextBuffer numbers[6];
    int pos = open;
    for (TextBuffer& number : numbers) {
        if (!reply.Tokenize(pos, number, "(), ")) {
            return 0;
        }
    }
    TextBuffer named, host;
    if (!named.Format("%s.%s.%s.%s", numbers[0].CStr(), numbers[1].CStr(), numbers[2].CStr(),
                      numbers[3].CStr()) ||
        !control.PeerAddress(host)) {
        return 0;
    }
    if (named != host.CStr()) {
        Trace("PASV names %s; connecting to %s instead\n", named.CStr(), host.CStr());
    }
    int port =
        (LeadingDecimal(numbers[4].CStr()) % 256) * 256 + LeadingDecimal(numbers[5].CStr()) % 256;
    return data->Create() && data->Bind(0) && data->Connect(host.CStr(), port);
}
