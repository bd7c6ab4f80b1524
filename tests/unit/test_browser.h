#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "browsers/browser_manager.h"
#include "browsers/ie_browser.h"
#include "platform/registry.h"
#include "settings/registry_functions.h"

// Turning on needs a browser to point at the proxy. Where none is installed (the
// native registry starts empty), a file in the temporary folder stands in for the old
// Internet Explorer's program.
inline void EnsureBrowserInstalled() {
    BrowserManager probe;
    probe.DetectBrowsers();
    if (probe.First()) {
        return;
    }
    std::string program =
        (std::filesystem::temp_directory_path() / "relvia-test-browser.exe").string();
    if (std::FILE* file = std::fopen(program.c_str(), "wb")) {
        std::fclose(file);
    }
    std::string command = "\"" + program + "\"";
    RegWriteString(platform::kHkeyLocalMachine, kIEComServerKey, nullptr, command.c_str());
}
