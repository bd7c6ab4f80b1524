#pragma once

#include <string>

// The library's texts are CP949 bytes, whatever the system's code page. Converted with
// code page 949 and shown through the wide-character functions, they look the same
// in every system locale. A null text gives the empty one.
std::wstring KoreanText(const char* cp949);
