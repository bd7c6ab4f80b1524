#include "ftp/ftp_listing.h"

#include <new>
#include <string>

#include "base/decimal.h"
#include "base/url.h"
#include "proxy/socket_channel.h"

namespace {

const char kFieldDelimiters[] = "\r\n\t ";
const int kReceiveBlockSize = 1024;
// The listing is held whole before the page is built; a server that sends more
// than this is cut off there, and the page shows what arrived.
const size_t kMaxListingBytes = 8 * 1024 * 1024;

// The page, in the CP949 bytes the browser is sent.
const char kResponseHead[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const char kPageTitle[] = "%s\xC0\xC7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE /%s";
const char kPageHead[] = "<html><head><title>%s</title></head>\t\t\t\t\t\t\t\t\t<body>\n"
                         "<h3>%s</h3><hr><p>\n";
const char kTableHead[] =
    "<table border=0 cellpadding=5 cellspacing=0>\r\n\t\t\t\t\t\t\t   <tr><th "
    "bgcolor=#ccccff>\xB3\xAF\xC2\xA5</th><th bgcolor=#ddddff>\xC1\xBE\xB7\xF9</th>\t\t\t\t\t\t\t"
    "   <th bgcolor=#ccccff>\xC5\xA9\xB1\xE2 ( byte )</th><th "
    "bgcolor=#ddddff>\xC0\xCC\xB8\xA7</th></tr>";
const char kParentRow[] =
    "<tr><td bgcolor=#e0e0e0>&nbsp;</td>\t\t\t\t\t\t\t\t\t  <td "
    "bgcolor=#f7f7f7>\xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE</td>\t\t\t\t\t\t\t\t\t  <td "
    "bgcolor=#e0e0e0>&nbsp;</td>\t\t\t\t\t\t\t\t\t  <td bgcolor=#f7f7f7><a "
    "href=\"%s\">\xBB\xF3\xC0\xA7 \xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE\xB7\xCE "
    "\xC0\xCC\xB5\xBF</a></td></tr>";
const char kDirectoryRow[] =
    "<tr><td bgcolor=#e0e0e0 align=right>%s</td>\t\t\t\t\t\t\t\t\t\t\t  <td "
    "bgcolor=#f7f7f7>\xB5\xF0\xB7\xBA\xC5\xCD\xB8\xAE</td>\t\t\t\t\t\t\t\t\t\t\t  <td "
    "bgcolor=#e0e0e0>&nbsp;</td>\t\t\t\t\t\t\t\t\t\t\t  <td bgcolor=#f7f7f7 align=left><a "
    "href=\"%s\">%s</a></td></tr>\r\n";
const char kFileRow[] =
    "<tr><td bgcolor=#e0e0e0 align=right>%s</td>\t\t\t\t\t\t\t\t\t\t\t   <td "
    "bgcolor=#f7f7f7>\xC6\xC4\xC0\xCF</td>\t\t\t\t\t\t\t\t\t\t\t   <td bgcolor=#e0e0e0 "
    "align=right>%d</td>\t\t\t\t\t\t\t\t\t\t\t   <td bgcolor=#f7f7f7 align=left><a "
    "href=\"%s\">%s</a></td></tr>\r\n";
const char kTableEnd[] = "</table>\r\n";
const char kPageEnd[] = "</body></html>\r\n";

const char* Text(const TextBuffer& text) {
    return text.CStr() ? text.CStr() : "";
}

int SendText(SocketChannel& browser, const TextBuffer& text) {
    return browser.Send(Text(text), text.Length() > 0 ? text.Length() : 0) >= 0;
}

// Gathered in a growing string and made a text once: appending block by block to
// a text, which copies itself whole each time, would be quadratic in the size.
TextBuffer ReadListing(SocketChannel& data) {
    std::string raw;
    char block[kReceiveBlockSize + 1];
    while (raw.size() < kMaxListingBytes && data.ReceiveText(block, kReceiveBlockSize) > 0) {
        raw += block;
    }
    return TextBuffer(raw.c_str());
}

// Appends one formatted row; 0 when it cannot be built.
template <typename... Args> int AppendRow(std::string& table, const char* format, Args... args) {
    TextBuffer row;
    if (!row.Format(format, args...)) {
        return 0;
    }
    table += row.CStr();
    return 1;
}

int BuildTable(std::string& table, const TextBuffer& directoryTitle, const TextBuffer& path,
               FtpListEntry* first) {
    table = kTableHead;
    TextBuffer parent(Text(path));
    if (!(directoryTitle == "ROOT") &&
        (!parent.Append("../") || !AppendRow(table, kParentRow, Text(parent)))) {
        return 0;
    }
    for (int directories = 1; directories >= 0; --directories) {
        for (FtpListEntry* entry = first; entry; entry = entry->Next()) {
            if (entry->IsDirectory() != directories) {
                continue;
            }
            TextBuffer name = entry->GetName();
            TextBuffer link(Text(path));
            if (!link.Append(name) || (directories && !link.AppendChar('/'))) {
                return 0;
            }
            int added = directories ? AppendRow(table, kDirectoryRow, Text(entry->GetDate()),
                                                Text(link), Text(name))
                                    : AppendRow(table, kFileRow, Text(entry->GetDate()),
                                                entry->GetSize(), Text(link), Text(name));
            if (!added) {
                return 0;
            }
        }
    }
    table += kTableEnd;
    return 1;
}

} // namespace

int FtpListEntry::ParseLine(const TextBuffer& line) {
    int pos = 0;
    TextBuffer first;
    if (!line.Tokenize(pos, first, kFieldDelimiters)) {
        return 0;
    }
    char kind = first.CharAt(0);
    if (kind >= '0' && kind <= '9') {
        TextBuffer time, sizeOrMarker;
        if (!line.Tokenize(pos, time, kFieldDelimiters) ||
            !line.Tokenize(pos, sizeOrMarker, kFieldDelimiters) ||
            !date_.Format("%s %s", first.CStr(), time.CStr())) {
            return 0;
        }
        isDirectory_ = sizeOrMarker.CompareNoCase("<DIR>") == 0 ? 1 : 0;
        if (!isDirectory_) {
            size_ = LeadingDecimal(sizeOrMarker.CStr());
        }
    } else if (kind == '-' || kind == 'd') {
        isDirectory_ = kind == 'd' ? 1 : 0;
        TextBuffer fields[7];
        for (TextBuffer& field : fields) {
            if (!line.Tokenize(pos, field, kFieldDelimiters)) {
                return 0;
            }
        }
        if (!isDirectory_) {
            size_ = LeadingDecimal(fields[3].CStr());
        }
        if (!date_.Format("%s %s %s", fields[4].CStr(), fields[5].CStr(), fields[6].CStr())) {
            return 0;
        }
    } else {
        return 0;
    }
    name_ = line.Mid(pos);
    name_.TrimLeft();
    name_.TrimRight();
    return (name_ == "." || name_ == "..") ? 0 : 1;
}

FtpListing::~FtpListing() {
    delete first_;
}

FtpListEntry* FtpListing::Parse(const TextBuffer& text) {
    delete first_;
    first_ = nullptr;
    FtpListEntry* last = nullptr;
    int pos = 0;
    TextBuffer line;
    while (text.Tokenize(pos, line, "\r\n")) {
        FtpListEntry* entry = new (std::nothrow) FtpListEntry;
        if (!entry || !entry->ParseLine(line)) {
            delete entry;
            continue;
        }
        if (last) {
            last->InsertAfter(entry);
        } else {
            first_ = entry;
        }
        last = entry;
    }
    return first_;
}

int FtpSendListing(SocketChannel& browser, const Url& url, SocketChannel& data) {
    if (browser.Send(kResponseHead, sizeof kResponseHead - 1) < 0) {
        return 0;
    }
    TextBuffer directoryTitle = url.GetDirectory();
    if (directoryTitle.IsEmpty()) {
        directoryTitle.Assign("ROOT");
    }
    TextBuffer title, pageHead;
    if (!title.Format(kPageTitle, Text(url.GetHost()), Text(directoryTitle)) ||
        !pageHead.Format(kPageHead, Text(title), Text(title)) || !SendText(browser, pageHead)) {
        return 0;
    }
    TextBuffer raw = ReadListing(data);
    FtpListing listing;
    FtpListEntry* first = listing.Parse(raw);
    std::string body;
    if (!first && !raw.IsEmpty()) {
        body = std::string("<pre>\r\n") + raw.CStr() + "</pre>\r\n";
    } else if (!BuildTable(body, directoryTitle, url.GetPath(), first)) {
        return 0;
    }
    return browser.Send(body.data(), static_cast<int>(body.size())) >= 0 &&
           browser.Send(kPageEnd, sizeof kPageEnd - 1) >= 0;
}
