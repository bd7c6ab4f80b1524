#include "proxy/http_request.h"

#include <new>

#include "base/decimal.h"
#include "proxy/http_fields.h"

HttpRequest::~HttpRequest() {
    delete headers_;
}

int HttpRequest::Parse() {
    delete headers_;
    headers_ = nullptr;
    if (head_.IsEmpty()) {
        return 0;
    }
    int pos = 0;
    TextBuffer line;
    if (!head_.Tokenize(pos, line, "\r\n")) {
        return 0;
    }
    int wordPos = 0;
    TextBuffer target;
    if (!line.Tokenize(wordPos, method_, "\t ") || !line.Tokenize(wordPos, target, "\t ") ||
        !url_.SetUrl(target.CStr())) {
        return 0;
    }
    return ParseHeaderLines(head_, pos, headers_, true);
}

int HttpRequest::GetHostPort(TextBuffer& host, int& port) const {
    if (!url_.IsValid()) {
        return 0;
    }
    host = url_.GetHost();
    port = url_.GetPort();
    return 1;
}

int HttpRequest::FindHeader(const char* name, TextBuffer& value) const {
    return FindHeaderValue(headers_, name, value);
}

int HttpRequest::SetHeader(const char* name, const char* value) {
    NameValue* field = FindField(headers_, name);
    if (field) {
        return field->SetValue(value);
    }
    field = new (std::nothrow) NameValue(name, value);
    if (!field) {
        return 0;
    }
    AppendNode(headers_, field);
    return 1;
}

int HttpRequest::GetContentLength() const {
    TextBuffer value;
    return FindHeader("Content-Length", value) ? LeadingDecimal(value.CStr()) : -1;
}

int HttpRequest::BuildOriginRequest(TextBuffer& out) const {
    return BuildRequest(out, url_.GetPath(), true);
}

int HttpRequest::BuildProxyRequest(TextBuffer& out) const {
    return BuildRequest(out, url_.GetUrl(), false);
}

// A request line or field too long for the format buffer makes the whole head
// fail: a cut head would send the server something the browser never asked for.
int HttpRequest::BuildRequest(TextBuffer& out, const TextBuffer& target, bool forOrigin) const {
    out.Empty();
    if (method_.IsEmpty() || !url_.IsValid()) {
        return 0;
    }
    if (!out.Format("%s %s HTTP/1.0\r\n", method_.CStr(), target.CStr())) {
        return 0;
    }
    for (NameValue* field = headers_; field; field = field->Next()) {
        const char* name = field->GetName();
        if (forOrigin && field->NameIs("Pragma")) {
            continue;
        }
        if (forOrigin && field->NameIs("Proxy-Connection")) {
            name = "Connection";
        }
        if (!AppendHeaderLine(out, name, field->GetValue())) {
            return 0;
        }
    }
    if (!out.Append("\r\n")) {
        out.Empty();
        return 0;
    }
    return 1;
}
