#pragma once

#include "base/text_buffer.h"

// Media classes of a "Content-Type" value.
enum MediaClass {
    kMediaNone = 0, // the text holds no token
    kMediaText = 1,
    kMediaImage = 2,
    kMediaAudio = 3,
    kMediaVideo = 4,
    kMediaOther = 5,
};

// Each extension sits in a fixed zero-padded slot of this many bytes.
const int kExtensionSlot = 10;
const int kTextExtensionCount = 13;
const int kBinaryExtensionCount = 111;

// Lower-case extensions, with their dot, of text documents and of binary or
// downloadable files. The two tables share no entry.
extern const char kTextExtensions[kTextExtensionCount][kExtensionSlot];
extern const char kBinaryExtensions[kBinaryExtensionCount][kExtensionSlot];

// Classifies a media type text by its first token (split at "/" and " "); the
// second token, if any, goes into `subtype`.
int ClassifyMediaType(const TextBuffer& text, TextBuffer& subtype);

// 1 when `ext` equals an entry of the table byte for byte, else 0.
int IsTextExtension(const TextBuffer& ext);
int IsBinaryExtension(const TextBuffer& ext);
