#pragma once

// Lets the compiler check printf-style calls against their arguments. GCC is told
// "gnu_printf" because the mingw-w64 runtime formats with its C99 printf, not the
// system library's; clang knows only "printf".
#if defined(__clang__)
#define RELVIA_PRINTF(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#elif defined(__GNUC__)
#define RELVIA_PRINTF(formatIndex, firstArg)                                                       \
    __attribute__((format(gnu_printf, formatIndex, firstArg)))
#else
#define RELVIA_PRINTF(formatIndex, firstArg)
#endif
