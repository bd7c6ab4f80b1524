// Checks the registry functions against Windows' own registry tool, so that what
// the proxy writes is what other programs see, and the reverse.
#include "settings/registry_functions.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "test_registry_key.h"

using platform::kHkeyCurrentUser;

namespace {

// Runs "reg <arguments>" and returns what it printed.
std::string RunReg(const std::string& arguments) {
    const char* temp = std::getenv("TEMP");
    std::string output = std::string(temp ? temp : ".") + "\\relvia-reg-output.txt";
    std::string command = "reg " + arguments + " > \"" + output + "\" 2>&1";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    std::ifstream file(output.c_str());
    std::stringstream text;
    text << file.rdbuf();
    file.close();
    std::remove(output.c_str());
    return text.str();
}

} // namespace

TEST(RegistryInterop, RegToolSeesOurWritesAndWeSeeItsWrites) {
    std::string key = FreshTestKey("interop");
    std::string quoted = "\"HKCU\\" + key + "\"";
    const char* k = key.c_str();

    ASSERT_EQ(1, RegWriteString(kHkeyCurrentUser, k, "Name", "Relvia Proxy"));
    ASSERT_EQ(1, RegWriteDword(kHkeyCurrentUser, k, "Port", 8080));
    const unsigned char blob[] = {0xDE, 0xAD, 0x01};
    ASSERT_EQ(1, RegWriteBinary(kHkeyCurrentUser, k, "Blob", blob, sizeof blob));
    std::string listing = RunReg("query " + quoted);
    EXPECT_NE(std::string::npos, listing.find("Relvia Proxy")) << listing;
    EXPECT_NE(std::string::npos, listing.find("0x1f90")) << listing;
    EXPECT_NE(std::string::npos, listing.find("DEAD01")) << listing;

    RunReg("add " + quoted + " /v Added /t REG_SZ /d from-reg /f");
    RunReg("add " + quoted + " /v Locked /t REG_DWORD /d 0xffffffff /f");
    TextBuffer text;
    ASSERT_EQ(1, RegReadText(kHkeyCurrentUser, k, "added", text));
    EXPECT_STREQ("from-reg", text.CStr());
    int value = 0;
    ASSERT_EQ(1, RegReadDword(kHkeyCurrentUser, k, "Locked", value));
    EXPECT_EQ(-1, value);
}
