#include "ftp/ftp_listing.h"

#include "control/module_state.h"
#include "ftp/ftp_control.h"
#include "proxy/host_name_cache.h"
#include "proxy/socket_channel.h"
#include "test_support.h"

namespace {

// Two channels connected over 127.0.0.1: `near` for the code under test, `far` for the
// test, which sends what the code under test reads.
struct Loopback {
    Loopback() {
        static HostNameCache cache;
        static int started = platform::WinsockStartup();
        moduleState.hostNameCache = &cache;
        EXPECT_TRUE(!started && listener.Create() && listener.BindLoopback(0) &&
                    listener.Listen() && far.Create() &&
                    far.Connect("127.0.0.1", listener.LocalPort()));
        near.reset(listener.Accept());
    }
    void Send(const std::string& bytes, bool close) {
        EXPECT_EQ(static_cast<int>(bytes.size()),
                  far.Send(bytes.data(), static_cast<int>(bytes.size())));
        if (close) {
            far.Close();
        }
    }
    SocketChannel listener, far;
    std::unique_ptr<SocketChannel> near;
};

} // namespace

TEST(FtpListing, LinesOfUnixAndDosListings) {
    // {line, "1 directory size date|name"}, or "-" for a line that is no entry
    const std::pair<const char*, const char*> rows[] = {
        {"-rw-r--r--\t1 o g 1234567 Dec  1  2025  my file  name.txt \r",
         "1 0 1234567 Dec 1 2025|my file  name.txt"},
        {"01-15-99  10:30AM       <dir>          Sub Dir", "1 1 0 01-15-99 10:30AM|Sub Dir"},
        {"9 x 77 z", "1 0 77 9 x|z"},
        {"drwxr-xr-x 2 o g 4096 Jan 15 10:30 .", "-"},
        {"-rw-r--r-- 1 o g 5 Jan", "-"},
        {"01-15-99 10:30AM", "-"}};
    ExpectRows(rows, [](const char* line) {
        FtpListEntry entry;
        const int accepted = entry.ParseLine(TextBuffer(line));
        return accepted ? Numbers(accepted, entry.IsDirectory(), entry.GetSize()) + " " +
                              Str(entry.GetDate()) + "|" + Str(entry.GetName())
                        : "-";
    });
}

// Each receive is judged by its last line: continuation lines are read past, and so
// are receives that end inside a line. The reply keeps every byte.
TEST(FtpControl, RepliesAreReadUpToTheirFinalLine) {
    // {what the server sends (then closes, where it ends in "|"), reply class}
    const std::pair<std::string, int> rows[] = {
        {"220-" + std::string(1500, 'w') + "\r\n230 in\r\n|", 2},
        {"150 Here it comes.\r\n226 Done.\r\n|", 2},
        {"550 No.\r\n|", 5},
        {"2x0 bad\r\n|", -1},
        {"20 \r\n|", -1},
        {"220-" + std::string(66 * 1024, 'w'), -1},
        {"|", -1}};
    ExpectRows(rows, [](const std::string& sent) {
        Loopback server;
        const bool closes = sent.back() == '|';
        const std::string bytes = sent.substr(0, sent.size() - closes);
        server.Send(bytes, closes);
        TextBuffer reply("stale");
        int replyClass = FtpCommandText(*server.near, nullptr, reply);
        return replyClass < 0 || Str(reply) == bytes ? replyClass : -9;
    });
}

// The data connection goes to the port of the PASV reply, on the control connection's
// host whatever the reply names; a reply without its six numbers opens none.
TEST(FtpControl, PassiveDataConnections) {
    Loopback control;
    SocketChannel data;
    const int port = control.listener.LocalPort();
    const std::string reply = "227 Entering Passive Mode (10,9,8,7," + Numbers(port / 256 + 256) +
                              "," + Numbers(port % 256) + ").";
    EXPECT_EQ("0 0 1", Numbers(FtpOpenPassive(TextBuffer("227 (127,0,0,1)."), *control.near, &data),
                               FtpOpenPassive(TextBuffer(reply.c_str()), *control.near, nullptr),
                               FtpOpenPassive(TextBuffer(reply.c_str()), *control.near, &data)));
}
