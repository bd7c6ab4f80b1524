#pragma once

#include "base/text_buffer.h"
#include "base/url.h"

// What the relay does with a request before relaying it.
enum RequestClass {
    kPlainRequest = 0,  // nothing special
    kOneWordHost = 1,   // no dot in the host, or a byte of 128 or more: redirect
    kSuiteDomain = 2,   // one of the suite's listed domains: identification cookie
    kSwitchRequest = 3, // "spell.cgi" on a listed domain with a word behind "="
};

// Sorts `url` into a class; for kSwitchRequest `word` receives everything behind
// the first "=" of the URL.
int ClassifySpecialUrl(const Url& url, TextBuffer& word);
