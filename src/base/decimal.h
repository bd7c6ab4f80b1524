#pragma once

// The decimal number at the start of `text` as atoi reads it: leading blanks and
// one sign allowed, reading stops at the first non-digit, 0 without digits or for
// null. Values beyond the int range are held at its ends.
int LeadingDecimal(const char* text);
