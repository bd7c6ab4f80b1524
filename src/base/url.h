#pragma once

#include "base/text_buffer.h"

// The URL of a proxy request split into its parts. Only the schemes "http:" and
// "ftp:" are known; any other text before the first "/" is taken as the host of an
// HTTP URL. Nothing is decoded and the stored parts keep their letter case.
class Url {
public:
    enum Scheme { kNone = 0, kHttp = 1, kFtp = 2 };

    // The password sent for anonymous FTP logins: an address that is clearly ours
    // and reaches nobody.
    static const char kAnonymousUser[];
    static const char kAnonymousPassword[];

    Url() = default;
    virtual ~Url() = default;

    // Trims bytes 1 to 32 from both ends, stores and parses. On failure every part
    // but the URL text is reset and the result is 0.
    int SetUrl(const char* text);

    TextBuffer GetUrl() const { return url_; }
    int GetScheme() const { return scheme_; }
    TextBuffer GetHost() const { return host_; }
    int GetPort() const { return port_; }
    TextBuffer GetPath() const { return path_; }
    TextBuffer GetUser() const { return user_; }
    TextBuffer GetPassword() const { return password_; }

    // Between the first and the last "/" of the path, both excluded.
    TextBuffer GetDirectory() const;
    // Behind the last "/" of the path, the query included.
    TextBuffer GetFileName() const;
    TextBuffer GetFileNameNoQuery() const;
    // Behind "://" up to the last "/" of the whole URL.
    TextBuffer GetHostAndDirectory() const;
    // Behind "://" up to the last "?" of the whole URL, or to its end.
    TextBuffer GetUrlNoSchemeNoQuery() const;
    // The host without its first label when it has two or more dots.
    TextBuffer GetDomain() const;
    int IsValid() const;
    // Appends "/" to the URL text and parses it again unless it already ends in "/".
    int EnsureTrailingSlash();

private:
    int Parse();
    void ParseAuthority(int start, int end);
    // Start of the text behind the first "://", or -1.
    int StartBehindScheme() const;

    TextBuffer url_;
    int scheme_ = kNone;
    TextBuffer host_;
    int port_ = 0;
    TextBuffer path_;
    TextBuffer user_;
    TextBuffer password_;
};
