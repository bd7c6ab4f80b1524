#pragma once

#include "base/text_buffer.h"
#include "proxy/name_value.h"

// A response head: status and header fields.
class HttpResponse {
public:
    HttpResponse() = default;
    HttpResponse(const HttpResponse&) = delete;
    HttpResponse& operator=(const HttpResponse&) = delete;
    virtual ~HttpResponse();

    void SetHead(const char* head) { head_.Assign(head); }
    int Parse();

    int GetStatus() const { return status_; }
    TextBuffer GetStatusLine() const { return statusLine_; }
    int FindHeader(const char* name, TextBuffer& value) const;
    // The media class of "Content-Type" (0 without the field); its subtype in `subtype`.
    int GetMediaClass(TextBuffer& subtype) const;

private:
    TextBuffer head_;
    int status_ = 0;
    TextBuffer statusLine_;
    NameValue* headers_ = nullptr;
};
