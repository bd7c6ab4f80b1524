#include "ftp/ftp_listing.h"

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/url.h"
#include "control/module_state.h"
#include "proxy/host_name_cache.h"
#include "proxy/socket_channel.h"
#include "proxy_fixture.h"

namespace {

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "";
}

struct Parsed {
    int accepted;
    int directory;
    std::string name;
    int size;
    std::string date;
};

Parsed ParseOne(const char* line) {
    FtpListEntry entry;
    int accepted = entry.ParseLine(TextBuffer(line));
    return {accepted, entry.IsDirectory(), Str(entry.GetName()), entry.GetSize(),
            Str(entry.GetDate())};
}

const std::string kTableHead =
    "<table border=0 cellpadding=5 cellspacing=0>\r\n\t\t\t\t\t\t\t   <tr><th "
    "bgcolor=#ccccff>\xB3\xAF\xC2\xA5</th><th bgcolor=#ddddff>\xC1\xBE\xB7\xF9</th>\t\t\t\t\t\t\t"
    "   <th bgcolor=#ccccff>\xC5\xA9\xB1\xE2 ( byte )</th><th "
    "bgcolor=#ddddff>\xC0\xCC\xB8\xA7</th></tr>";
const std::string kTabs9 = "\t\t\t\t\t\t\t\t\t";
const std::string kTabs11 = "\t\t\t\t\t\t\t\t\t\t\t";
const std::string kDirectoryWord = "\xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE";

std::string PageHead(const std::string& title) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>" + title +
           "</title></head>" + kTabs9 + "<body>\n<h3>" + title + "</h3><hr><p>\n";
}

std::string ParentRow(const std::string& link) {
    return "<tr><td bgcolor=#e0e0e0>&nbsp;</td>" + kTabs9 + "  <td bgcolor=#f7f7f7>" +
           kDirectoryWord + "</td>" + kTabs9 + "  <td bgcolor=#e0e0e0>&nbsp;</td>" + kTabs9 +
           "  <td bgcolor=#f7f7f7><a href=\"" + link +
           "\">\xBB\xF3\xC0\xA7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE\xB7\xCE "
           "\xC0\xCC\xB5\xBF</a></td></tr>";
}

std::string DirectoryRow(const std::string& date, const std::string& link,
                         const std::string& name) {
    return "<tr><td bgcolor=#e0e0e0 align=right>" + date + "</td>" + kTabs11 +
           "  <td bgcolor=#f7f7f7>" + kDirectoryWord + "</td>" + kTabs11 +
           "  <td bgcolor=#e0e0e0>&nbsp;</td>" + kTabs11 +
           "  <td bgcolor=#f7f7f7 align=left><a href=\"" + link + "\">" + name +
           "</a></td></tr>\r\n";
}

std::string FileRow(const std::string& date, int size, const std::string& link,
                    const std::string& name) {
    return "<tr><td bgcolor=#e0e0e0 align=right>" + date + "</td>" + kTabs11 +
           "   <td bgcolor=#f7f7f7>\xC6\xC4\xC0\xCF</td>" + kTabs11 +
           "   <td bgcolor=#e0e0e0 align=right>" + std::to_string(size) + "</td>" + kTabs11 +
           "   <td bgcolor=#f7f7f7 align=left><a href=\"" + link + "\">" + name +
           "</a></td></tr>\r\n";
}

// Renders `listing` for `url` as a data connection would deliver it.
std::string Render(const char* url, const std::string& listing) {
    HostNameCache cache;
    moduleState.hostNameCache = &cache;
    SocketChannel listener, browserEnd, dataEnd;
    listener.Create();
    listener.Bind(0);
    listener.Listen();
    int port = listener.LocalPort();
    browserEnd.Create();
    browserEnd.Connect("127.0.0.1", port);
    std::unique_ptr<SocketChannel> browser(listener.Accept());
    dataEnd.Create();
    dataEnd.Connect("127.0.0.1", port);
    std::unique_ptr<SocketChannel> data(listener.Accept());
    std::thread server([&] {
        dataEnd.Send(listing.data(), static_cast<int>(listing.size()));
        dataEnd.Close();
    });
    Url parsed;
    parsed.SetUrl(url);
    std::string page;
    std::thread reader([&] { page = ReadAll(browserEnd); });
    EXPECT_EQ(1, FtpSendListing(*browser, parsed, *data));
    browser->Close();
    server.join();
    reader.join();
    moduleState.hostNameCache = nullptr;
    return page;
}

} // namespace

TEST(FtpListing, UnixAndDosLines) {
    Parsed dir = ParseOne("drwxr-xr-x   2 owner group   4096 Jan 15 10:30 pub");
    EXPECT_EQ(1, dir.accepted);
    EXPECT_EQ(1, dir.directory);
    EXPECT_EQ("pub", dir.name);
    EXPECT_EQ(0, dir.size);
    EXPECT_EQ("Jan 15 10:30", dir.date);

    Parsed file = ParseOne("-rw-r--r--\t1 o g 1234567 Dec  1  2025  my file  name.txt \r");
    EXPECT_EQ(1, file.accepted);
    EXPECT_EQ(0, file.directory);
    EXPECT_EQ("my file  name.txt", file.name);
    EXPECT_EQ(1234567, file.size);
    EXPECT_EQ("Dec 1 2025", file.date);

    Parsed dos = ParseOne("01-15-99  10:30AM       <dir>          Sub Dir");
    EXPECT_EQ(1, dos.accepted);
    EXPECT_EQ(1, dos.directory);
    EXPECT_EQ("Sub Dir", dos.name);
    EXPECT_EQ("01-15-99 10:30AM", dos.date);
    Parsed dosFile = ParseOne("01-15-99  10:30AM  1,234 a.txt");
    EXPECT_EQ(1, dosFile.size);
    EXPECT_EQ("a.txt", dosFile.name);

    for (const char* dropped :
         {"total 12", "lrwxrwxrwx 1 o g 7 Jan 1 10:00 l -> x",
          "drwxr-xr-x 2 o g 4096 Jan 15 10:30 .", "drwxr-xr-x 2 o g 4096 Jan 15 10:30 ..",
          "-rw-r--r-- 1 o g 5 Jan", "01-15-99 10:30AM", "", "\xB0\xA1 Korean"}) {
        EXPECT_EQ(0, ParseOne(dropped).accepted) << dropped;
    }
}

TEST(FtpListing, PagesInTheirExactBytes) {
    ASSERT_EQ(0, platform::WinsockStartup());
    std::string listing = "total 8\r\n"
                          "-rw-r--r-- 1 o g 10 Jan 1 2020 b.txt\r\n"
                          "drwxr-xr-x 2 o g 4096 Feb 2 10:00 sub\r\n"
                          "-rw-r--r-- 1 o g 20 Mar 3 11:00 a <b>.zip\r\n"
                          "drwxr-xr-x 2 o g 4096 Apr 4 12:00 other\r\n";
    std::string root = "h.x.y\xC0\xC7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE /ROOT";
    EXPECT_EQ(PageHead(root) + kTableHead + DirectoryRow("Feb 2 10:00", "/sub/", "sub") +
                  DirectoryRow("Apr 4 12:00", "/other/", "other") +
                  FileRow("Jan 1 2020", 10, "/b.txt", "b.txt") +
                  FileRow("Mar 3 11:00", 20, "/a <b>.zip", "a <b>.zip") +
                  "</table>\r\n</body></html>\r\n",
              Render("ftp://h.x.y/", listing));

    std::string sub = "h\xC0\xC7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE /pub/sub";
    EXPECT_EQ(PageHead(sub) + kTableHead + ParentRow("/pub/sub/../") +
                  "</table>\r\n</body></html>\r\n",
              Render("ftp://h/pub/sub/", ""));
    // A top-level directory named ROOT shows no parent row.
    std::string named = "h\xC0\xC7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE /ROOT";
    EXPECT_EQ(PageHead(named) + kTableHead + "</table>\r\n</body></html>\r\n",
              Render("ftp://h/ROOT/", ""));
    // A listing of which no line parses is shown as it came.
    std::string odd = "+i8388621.29609,m824255902,/,\tdev\r\nwhatever\r\n";
    EXPECT_EQ(PageHead(root) + "<pre>\r\n" + odd + "</pre>\r\n</body></html>\r\n",
              Render("ftp://h.x.y/", odd));
    platform::WinsockCleanup();
}
