// The exports use the C calling convention: the caller removes the arguments. On
// x86_64 there is only one convention; on i686 a library that removed them itself
// would move the stack under a host that removes them too.
#include <gtest/gtest.h>
#include <windows.h>

#if defined(__i386__)

namespace {

// The bytes `function(first, second)` took off the stack itself.
int BytesTheCalleeRemoved(FARPROC function, void* first, void* second) {
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

} // namespace

TEST(Exports, TheCallerRemovesTheArguments) {
    HMODULE library = LoadLibraryA("Relvia.dll"); // the one built beside the tests
    ASSERT_NE(library, nullptr);
    int busy = 7;
    int idle = 7;
    FARPROC counts = GetProcAddress(library, "rlvia_GetAgentCount");
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(BytesTheCalleeRemoved(counts, &busy, &idle), 0);
    EXPECT_EQ(busy + idle, 14); // off: the counts are left as they were
    FreeLibrary(library);
}

#endif
