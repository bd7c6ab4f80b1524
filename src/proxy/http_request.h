#pragma once

#include "base/text_buffer.h"
#include "base/url.h"
#include "proxy/name_value.h"

// A browser's request head: method, URL and header fields. Rebuilt heads always
// say HTTP/1.0, so the upstream server closes after one response.
class HttpRequest {
public:
    HttpRequest() = default;
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;
    virtual ~HttpRequest();

    void SetHead(const char* head) { head_.Assign(head); }
    int Parse();

    TextBuffer GetMethod() const { return method_; }
    int GetScheme() const { return url_.GetScheme(); }
    Url& GetUrlObject() { return url_; }
    const Url& GetUrlObject() const { return url_; }
    int GetHostPort(TextBuffer& host, int& port) const;
    int FindHeader(const char* name, TextBuffer& value) const;
    // Replaces the value of the first field of that name (keeping its spelling and
    // place) or appends a new field.
    int SetHeader(const char* name, const char* value);
    // -1 when there is no "Content-Length" field.
    int GetContentLength() const;

    // The head for the origin server: path form, no "Pragma" fields, and
    // "Proxy-Connection" sent as "Connection".
    int BuildOriginRequest(TextBuffer& out) const;
    // The head for a proxy: the whole URL and every field as it is.
    int BuildProxyRequest(TextBuffer& out) const;

private:
    int BuildRequest(TextBuffer& out, const TextBuffer& target, bool forOrigin) const;

    TextBuffer head_;
    TextBuffer method_;
    Url url_;
    NameValue* headers_ = nullptr;
};
