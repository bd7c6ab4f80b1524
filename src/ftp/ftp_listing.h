#pragma once

#include "base/list_node.h"
#include "base/text_buffer.h"

class SocketChannel;
class Url;

// One line of a directory listing, Unix style ("drwxr-xr-x 2 o g 4096 Jan 15 10:30
// pub") or DOS style ("01-15-99 10:30AM <DIR> pub").
class FtpListEntry : public ListNode {
public:
    FtpListEntry* Next() const { return static_cast<FtpListEntry*>(ListNode::Next()); }

    // 1 when the line is an entry (not a summary, a link, "." or ".."), with the
    // fields filled.
    int ParseLine(const TextBuffer& line);
    int IsDirectory() const { return isDirectory_; }
    TextBuffer GetName() const { return name_; }
    int GetSize() const { return size_; }
    TextBuffer GetDate() const { return date_; }

private:
    int isDirectory_ = 0;
    TextBuffer name_;
    int size_ = 0;
    TextBuffer date_;
};

// The entries of a listing text, in the order of its lines.
class FtpListing {
public:
    FtpListing() = default;
    FtpListing(const FtpListing&) = delete;
    FtpListing& operator=(const FtpListing&) = delete;
    virtual ~FtpListing();

    // Builds the chain afresh; its first entry, or null when no line is an entry.
    FtpListEntry* Parse(const TextBuffer& text);

private:
    FtpListEntry* first_ = nullptr;
};

// Reads the listing from `data` and answers the browser with a Korean HTML page of
// it, in four writes; `url` ends with a slash. 1 when the whole page was written.
int FtpSendListing(SocketChannel& browser, const Url& url, SocketChannel& data);
