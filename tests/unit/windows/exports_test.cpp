// The exports use the C calling convention: the caller removes the arguments. On i686 a
// library that removed them itself would move the stack under a host that does too.
#include <gtest/gtest.h>
#include <windows.h>

#if defined(__i386__)

// The bytes `function(first, second)` took off the stack itself.
static int BytesTheCalleeRemoved(FARPROC function, void* first, void* second) {
    int left = 0;
    __asm__ volatile("movl %%esp, %%esi\n\t"
                     "pushl %%ecx\n\t"
                     "pushl %%edx\n\t"
                     "call *%%ebx\n\t"
                     "movl %%esi, %%eax\n\t"
                     "subl %%esp, %%eax\n\t"
                     "movl %%esi, %%esp\n\t"
                     : "=a"(left), "+c"(second), "+d"(first)
                     : "b"(function)
                     : "esi", "memory", "cc");
    return 8 - left;
}

TEST(Exports, TheCallerRemovesTheArguments) {
    HMODULE library = LoadLibraryA("Relvia.dll"); // the one built beside the tests
    FARPROC counts = library ? GetProcAddress(library, "rlvia_GetAgentCount") : nullptr;
    ASSERT_NE(counts, nullptr);
    int busy = 7, idle = 7;
    EXPECT_EQ(BytesTheCalleeRemoved(counts, &busy, &idle), 0);
    EXPECT_EQ(busy + idle, 14); // off: the counts are left as they were
    FreeLibrary(library);
}

#endif
