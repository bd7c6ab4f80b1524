#pragma once

#include <chrono>
#include <string>

// A fresh key path under HKEY_CURRENT_USER for one test, so runs against a
// persistent registry never see each other's values.
inline std::string FreshTestKey(const char* name) {
    static int counter = 0;
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string("Software\\RelviaTests\\") + name + "-" + std::to_string(now) + "-" +
           std::to_string(++counter);
}
