#pragma once

// The ANSI code page facts that multibyte-aware text operations rely on.
// On Windows they come from the system code page; elsewhere the engine follows
// the Korean code page 949 (lead bytes 0x81 to 0xFE), which is what the product
// runs under.

// True when `value` starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char value);

// The ANSI code page in force (949 for Korean).
unsigned int AnsiCodePage();
