// The registry functions against Windows' own registry tool: what the proxy writes is
// what other programs see, and the reverse.
#include "settings/registry_functions.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_support.h"

TEST(RegistryInterop, TheRegToolSeesOurWritesAndWeSeeItsWrites) {
    const std::string key = FreshTestKey("interop");
    auto reg = [&](const std::string& operation, const std::string& options) {
        const char* temp = std::getenv("TEMP");
        const std::string output = std::string(temp ? temp : ".") + "\\relvia-reg-output.txt";
        const std::string command =
            "reg " + operation + " \"HKCU\\" + key + "\" " + options + " > \"" + output + "\" 2>&1";
        EXPECT_EQ(0, std::system(command.c_str())) << command;
        std::stringstream text;
        text << std::ifstream(output).rdbuf();
        std::remove(output.c_str());
        return text.str();
    };
    const char* k = key.c_str();
    const unsigned char blob[] = {0xDE, 0xAD, 0x01};
    ASSERT_EQ("1 1 1",
              Numbers(RegWriteString(platform::kHkeyCurrentUser, k, "Name", "Relvia Proxy"),
                      RegWriteDword(platform::kHkeyCurrentUser, k, "Port", 8080),
                      RegWriteBinary(platform::kHkeyCurrentUser, k, "Blob", blob, 3)));
    const std::string listing = reg("query", "");
    for (const char* shown : {"Relvia Proxy", "0x1f90", "DEAD01"}) {
        EXPECT_NE(std::string::npos, listing.find(shown)) << listing;
    }
    reg("add", "/v Added /t REG_SZ /d from-reg /f");
    reg("add", "/v Locked /t REG_DWORD /d 0xffffffff /f");
    TextBuffer text;
    int value = 0;
    ASSERT_EQ("1 1", Numbers(RegReadText(platform::kHkeyCurrentUser, k, "added", text),
                             RegReadDword(platform::kHkeyCurrentUser, k, "Locked", value)));
    EXPECT_EQ("from-reg -1", Str(text) + " " + std::to_string(value));
}
