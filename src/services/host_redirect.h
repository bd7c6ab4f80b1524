#pragma once

#include "base/text_buffer.h"

class SocketChannel;

// Answers a request for a one-word or non-ASCII host with a page that sends the
// browser on at once: to the host's "Redirect" entry, to the search URL for a
// non-ASCII host, else to "http://www.<host>.com/". 1 when the page was sent.
int RedirectUnresolvedHost(SocketChannel& browser, const TextBuffer& host);

// Query encoding: space as "+", letters, digits and "*-.@_" as they are, every
// other byte as "%XX" with upper-case hexadecimal digits.
TextBuffer EncodeQueryText(const TextBuffer& text);

// Whether `format` can be filled with one text safely: exactly one "%s" and no
// other conversion ("%%" is a percent sign).
bool IsSingleTextFormat(const char* format);
