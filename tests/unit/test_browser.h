#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "browsers/browser_manager.h"
#include "platform/registry.h"
#include "settings/registry_functions.h"

// Turning on needs a browser to point at the proxy. Where none is installed (the
// native registry starts empty), a file of the test's own stands in for the old
// Internet Explorer's program.
inline void EnsureBrowserInstalled() {
    BrowserManager probe;
    probe.DetectBrowsers();
    if (probe.First()) {
        return;
    }
    const char program[] = "relvia-test-browser.exe";
    if (std::FILE* file = std::fopen(program, "wb")) {
        std::fclose(file);
    }
    RegWriteString(
        platform::kHkeyLocalMachine,
        "Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", nullptr,
        "\"relvia-test-browser.exe\"");
}
