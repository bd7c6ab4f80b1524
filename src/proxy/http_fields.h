#pragma once

#include "base/text_buffer.h"
#include "proxy/name_value.h"

// Header lines shared by request and response heads.

// Appends a field for every line of `head` from `pos` on that has a colon after its
// first byte: the name with trailing blanks removed, the value with leading blanks
// removed. With `closeKeepAlive` a value that is exactly "Keep-Alive" (any case)
// becomes "Close".
int ParseHeaderLines(const TextBuffer& head, int pos, NameValue*& headers, bool closeKeepAlive);

// The first field named `name` (ignoring ASCII case), or null.
NameValue* FindField(NameValue* headers, const char* name);

// 1 with `value` set (empty when the field has none), or 0 when absent.
int FindHeaderValue(NameValue* headers, const char* name, TextBuffer& value);

// Appends "name: value\r\n"; 0 (and `out` emptied) when the line cannot be built.
int AppendHeaderLine(TextBuffer& out, const char* name, const char* value);
