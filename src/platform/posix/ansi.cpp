#include "platform/ansi.h"

namespace {
const unsigned int kKoreanCodePage = 949;
}

bool IsAnsiLeadByte(unsigned char value) {
    return value >= 0x81 && value <= 0xFE;
}

unsigned int AnsiCodePage() {
    return kKoreanCodePage;
}
