#include "base/decimal.h"

#include <climits>

int LeadingDecimal(const char* text) {
    if (!text) {
        return 0;
    }
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX) {
            value = value * 10 + (*p - '0');
        }
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}
