#include "ftp/ftp_listing.h"

#include <gtest/gtest.h>

#include "base/url.h"
#include "control/module_state.h"
#include "ftp/ftp_control.h"
#include "proxy/host_name_cache.h"
#include "proxy/socket_channel.h"
#include "test_support.h"

namespace {

// Two channels connected over 127.0.0.1: `near` for the code under test, `far` for the
// test, which writes what arrives there before, and reads what was sent after.
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
    std::string Received() {
        near->Close();
        std::string bytes;
        char block[4096];
        for (int count; (count = far.Receive(block, sizeof block)) > 0;) {
            bytes.append(block, static_cast<size_t>(count));
        }
        return bytes;
    }
    SocketChannel listener, far;
    std::unique_ptr<SocketChannel> near;
};

// The page's pieces, in the CP949 bytes the browser is sent.
const std::string kDirectoryWord = "\xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE";
const std::string kTableHead =
    "<table border=0 cellpadding=5 cellspacing=0>\r\n\t\t\t\t\t\t\t   <tr><th "
    "bgcolor=#ccccff>\xB3\xAF\xC2\xA5</th><th bgcolor=#ddddff>\xC1\xBE\xB7\xF9</th>\t\t\t\t\t\t\t"
    "   <th bgcolor=#ccccff>\xC5\xA9\xB1\xE2 ( byte )</th><th "
    "bgcolor=#ddddff>\xC0\xCC\xB8\xA7</th></tr>";
const std::string kPageEnd = "</body></html>\r\n";

std::string PageHead(const std::string& host, const std::string& directory) {
    std::string title = host + "\xC0\xC7 " + kDirectoryWord + " /" + directory;
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>" + title +
           "</title></head>\t\t\t\t\t\t\t\t\t<body>\n<h3>" + title + "</h3><hr><p>\n";
}

std::string Cells(const std::string& tabs, const std::string& date, const std::string& kind,
                  const std::string& size, const std::string& link, const std::string& name) {
    return "<tr><td bgcolor=#e0e0e0" + date + "</td>" + tabs + "<td bgcolor=#f7f7f7>" + kind +
           "</td>" + tabs + "<td bgcolor=#e0e0e0" + size + "</td>" + tabs + "<td bgcolor=#f7f7f7" +
           link + "\">" + name + "</a></td></tr>";
}

std::string ParentRow(const std::string& link) {
    return Cells("\t\t\t\t\t\t\t\t\t  ", ">&nbsp;", kDirectoryWord, ">&nbsp;", "><a href=\"" + link,
                 "\xBB\xF3\xC0\xA7 " + kDirectoryWord + "\xB7\xCE \xC0\xCC\xB5\xBF");
}

std::string EntryRow(const std::string& date, int size, const std::string& link,
                     const std::string& name) {
    bool directory = size < 0;
    return Cells(directory ? "\t\t\t\t\t\t\t\t\t\t\t  " : "\t\t\t\t\t\t\t\t\t\t\t   ",
                 " align=right>" + date, directory ? kDirectoryWord : "\xC6\xC4\xC0\xCF",
                 directory ? ">&nbsp;" : " align=right>" + std::to_string(size),
                 " align=left><a href=\"" + link, name) +
           "\r\n";
}

// The page for `url` of a listing the data connection delivers whole.
std::string Page(const char* url, const std::string& listing) {
    Loopback browser, data;
    data.Send(listing, true);
    Url parsed;
    parsed.SetUrl(url);
    EXPECT_EQ(1, FtpSendListing(*browser.near, parsed, *data.near));
    return browser.Received();
}

} // namespace

TEST(FtpListing, LinesOfUnixAndDosListings) {
    // {line, "directory size date|name"}, or "-" for a line that is no entry
    const std::pair<const char*, const char*> rows[] = {
        {"drwxr-xr-x   2 owner group   4096 Jan 15 10:30 pub", "1 0 Jan 15 10:30|pub"},
        {"-rw-r--r--\t1 o g 1234567 Dec  1  2025  my file  name.txt \r",
         "0 1234567 Dec 1 2025|my file  name.txt"},
        {"01-15-99  10:30AM       <dir>          Sub Dir", "1 0 01-15-99 10:30AM|Sub Dir"},
        {"01-15-99  10:30AM  1,234 a.txt", "0 1 01-15-99 10:30AM|a.txt"},
        {"9 x 77 z", "0 77 9 x|z"},
        {"total 12", "-"},
        {"lrwxrwxrwx 1 o g 7 Jan 1 10:00 l -> x", "-"},
        {"drwxr-xr-x 2 o g 4096 Jan 15 10:30 .", "-"},
        {"drwxr-xr-x 2 o g 4096 Jan 15 10:30 ..", "-"},
        {"-rw-r--r-- 1 o g 5 Jan", "-"},
        {"01-15-99 10:30AM", "-"},
        {"/1 2 3 n", "-"},
        {":1 2 3 n", "-"}};
    ExpectRows(rows, [](const char* line) {
        FtpListEntry entry;
        return entry.ParseLine(TextBuffer(line))
                   ? Numbers(entry.IsDirectory(), entry.GetSize()) + " " + Str(entry.GetDate()) +
                         "|" + Str(entry.GetName())
                   : "-";
    });
}

// Directories first, then files, each in the listing's order.
TEST(FtpListing, PagesInTheirExactBytes) {
    const std::string listing = "total 8\r\n-rw-r--r-- 1 o g 10 Jan 1 2020 b.txt\r\n"
                                "drwxr-xr-x 2 o g 4096 Feb 2 10:00 sub\r\n"
                                "-rw-r--r-- 1 o g 20 Mar 3 11:00 a <b>.zip\r\n"
                                "drwxr-xr-x 2 o g 4096 Apr 4 12:00 other\r\n";
    const std::string tableEnd = "</table>\r\n" + kPageEnd;
    EXPECT_EQ(PageHead("h.x.y", "ROOT") + kTableHead + EntryRow("Feb 2 10:00", -1, "/sub/", "sub") +
                  EntryRow("Apr 4 12:00", -1, "/other/", "other") +
                  EntryRow("Jan 1 2020", 10, "/b.txt", "b.txt") +
                  EntryRow("Mar 3 11:00", 20, "/a <b>.zip", "a <b>.zip") + tableEnd,
              Page("ftp://h.x.y/", listing));
    EXPECT_EQ(PageHead("h", "pub/sub") + kTableHead + ParentRow("/pub/sub/../") + tableEnd,
              Page("ftp://h/pub/sub/", ""));
    // A top directory named ROOT has no parent row either.
    EXPECT_EQ(PageHead("h", "ROOT") + kTableHead + tableEnd, Page("ftp://h/ROOT/", ""));
    // A listing of which no line is an entry is shown as it came.
    const std::string odd = "+i8388621.29609,m824255902,/,\tdev\r\nwhatever\r\n";
    EXPECT_EQ(PageHead("h", "ROOT") + "<pre>\r\n" + odd + "</pre>\r\n" + kPageEnd,
              Page("ftp://h/", odd));
}

// Each receive is judged by its last line: continuation lines are read past, and so
// are receives that end inside a line. The reply keeps every byte.
TEST(FtpControl, RepliesAreReadUpToTheirFinalLine) {
    // {what the server sends (then closes, where it ends in "|"), reply class}
    const std::pair<std::string, int> rows[] = {
        {"220 Ready.\r\n", 2},
        {"220-Welcome\r\n220-to the\r\n220 server.\r\n", 2},
        {"220-" + std::string(1500, 'w') + "\r\n230 in\r\n", 2},
        {"150 Here it comes.\r\n226 Done.\r\n", 2},
        {"550 No.\r\n", 5},
        {"100 x\r\n", 1},
        {"2x0 bad\r\n|", -1},
        {"20 \r\n|", -1},
        {"220-" + std::string(66 * 1024, 'w'), -1},
        {"|", -1}};
    ExpectRows(rows, [](const std::string& sent) {
        Loopback server;
        const bool closes = sent.back() == '|';
        server.Send(closes ? sent.substr(0, sent.size() - 1) : sent, closes);
        TextBuffer reply("stale");
        int replyClass = FtpCommandText(*server.near, nullptr, reply);
        return replyClass < 0 || Str(reply) == sent ? replyClass : -9;
    });
}
