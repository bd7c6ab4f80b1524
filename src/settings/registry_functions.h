#pragma once

#include "base/text_buffer.h"
#include "platform/registry.h"

// Reads and writes of one named value under root\subkey. Each call opens the key
// with full access and closes it before returning; each returns 1 on success and
// 0 on failure. A null root, subkey or required buffer fails without touching the
// registry.

using RegRoot = platform::RegKey;

// Any value type, as bytes. A REG_EXPAND_SZ value comes back expanded with the
// process environment when the expansion fits in 1023 characters and in `buffer`.
int RegReadString(RegRoot root, const char* subkey, const char* name, char* buffer,
                  unsigned long size);
// RegReadString into 1024 bytes; a longer value fails.
int RegReadText(RegRoot root, const char* subkey, const char* name, TextBuffer& out);
// At most 4 bytes; `out` is left alone on failure.
int RegReadDword(RegRoot root, const char* subkey, const char* name, int& out);
// `size` is the buffer's size going in and the value's size coming out.
int RegReadBinary(RegRoot root, const char* subkey, const char* name, unsigned char* buffer,
                  unsigned long& size);

// The writes create the key when it is missing.
int RegWriteString(RegRoot root, const char* subkey, const char* name, const char* text);
int RegWriteDword(RegRoot root, const char* subkey, const char* name, int value);
int RegWriteBinary(RegRoot root, const char* subkey, const char* name, const unsigned char* bytes,
                   unsigned long length);
