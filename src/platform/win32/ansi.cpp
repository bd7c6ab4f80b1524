#include "platform/ansi.h"

#include <windows.h>

bool IsAnsiLeadByte(unsigned char value) {
    return IsDBCSLeadByte(value) != FALSE;
}

unsigned int AnsiCodePage() {
    return GetACP();
}
