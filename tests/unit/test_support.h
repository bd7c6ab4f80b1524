#pragma once

// Helpers the unit tests share.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "base/text_buffer.h"

// A text as a string, "" for the empty text.
inline std::string Str(const TextBuffer& text) {
    return text.CStr() ? text.CStr() : "";
}

// Numbers as one text, "1 -1 0", so that a row of results compares whole.
template <typename... Ints> std::string Numbers(Ints... values) {
    std::string text;
    ((text += std::to_string(values) + " "), ...);
    return text.substr(0, text.size() - 1);
}

// Checks that `check(input)` gives `expected` for every row {input, expected}.
template <typename Rows, typename Check> void ExpectRows(const Rows& rows, Check check) {
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(expected, check(input)) << input;
    }
}

// A name no other test or run uses.
inline std::string UniqueName(const char* stem) {
    static int counter = 0;
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string(stem) + "-" + std::to_string(now) + "-" + std::to_string(++counter);
}

// A key of its own under HKEY_CURRENT_USER, so that runs against a persistent registry
// never see each other's values.
inline std::string FreshTestKey(const char* name) {
    return "Software\\RelviaTests\\" + UniqueName(name);
}
