#pragma once

#include "base/text_buffer.h"
#include "proxy/name_value.h"

// The items of a "Cookie" header value, edited item by item. Items are split at
// spaces and ";", so a value holding a space becomes two items.
class CookieList {
public:
    CookieList() = default;
    CookieList(const CookieList&) = delete;
    CookieList& operator=(const CookieList&) = delete;
    virtual ~CookieList();

    void SetText(const char* text) { text_.Assign(text); }
    // 1 when at least one item was found.
    int Parse();
    // Replaces the value of the first item of that name (ignoring case) or appends
    // the item, then rebuilds the text: items joined by "; ", bare names without "=".
    int Set(const char* name, const char* value);
    TextBuffer GetText() const { return text_; }

private:
    int Rebuild();

    TextBuffer text_;
    NameValue* items_ = nullptr;
};

class HttpRequest;

// Puts the user's ids and the client version into the request's first "Cookie"
// header (adding one when there is none).
int AddClientCookie(HttpRequest& request);
