#include "proxy/http_response.h"

#include "base/decimal.h"
#include "proxy/http_fields.h"
#include "proxy/media_class.h"

HttpResponse::~HttpResponse() {
    delete headers_;
}

int HttpResponse::Parse() {
    delete headers_;
    headers_ = nullptr;
    if (head_.IsEmpty()) {
        return 0;
    }
    int pos = 0;
    if (!head_.Tokenize(pos, statusLine_, "\r\n")) {
        return 0;
    }
    int wordPos = 0;
    TextBuffer word;
    if (!head_.Tokenize(wordPos, word, "\t ") || word.Find("HTTP") < 0 ||
        !head_.Tokenize(wordPos, word, "\t ")) {
        return 0;
    }
    status_ = LeadingDecimal(word.CStr());
    return ParseHeaderLines(head_, pos, headers_, false);
}

int HttpResponse::FindHeader(const char* name, TextBuffer& value) const {
    return FindHeaderValue(headers_, name, value);
}

int HttpResponse::GetMediaClass(TextBuffer& subtype) const {
    subtype.Empty();
    TextBuffer value;
    if (!FindHeader("Content-Type", value)) {
        return kMediaNone;
    }
    return ClassifyMediaType(value, subtype);
}
