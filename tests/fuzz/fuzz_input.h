#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fuzzer's bytes as a C string: text parsers never see a zero byte inside a
// text, so the input is cut at the first one.
inline std::string FuzzText(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}
