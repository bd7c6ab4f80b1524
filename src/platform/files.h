#pragma once

#include <cstdio>

// Files and folders as the browsers' settings need them, shaped after the Windows C
// runtime and Win32 calls.

namespace platform {

// Whether `path` exists and may be read (_access with read mode).
bool CanReadFile(const char* path);
// fopen with mode "a+t": created when missing, read from the start, every write at the
// end; in text mode, so a line feed reaches the disk as carriage return and line feed
// where the system keeps text that way.
std::FILE* OpenForAppendText(const char* path);
// The Windows directory, terminated; its length, or 0 (natively: $WINDIR).
unsigned int GetWindowsDirectoryA(char* buffer, unsigned int size);
bool SetCurrentDirectoryA(const char* path);
// ShellExecuteA with no owner, the default verb, no parameters and SW_SHOW: above 32
// when the program was started.
long ShellExecuteShow(const char* file, const char* directory);

} // namespace platform
