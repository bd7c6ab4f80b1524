#include "settings/settings_store.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "test_registry_key.h"

using platform::kHkeyCurrentUser;

namespace {

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "";
}

// Writes a value of any type straight through the platform layer.
void WriteRaw(const std::string& key, const char* name, unsigned long type, const void* data,
              unsigned long size) {
    platform::RegKey handle = nullptr;
    ASSERT_EQ(platform::kErrorSuccess, platform::RegCreateKeyExA(kHkeyCurrentUser, key.c_str(),
                                                                 platform::kKeyAllAccess, &handle));
    ASSERT_EQ(platform::kErrorSuccess,
              platform::RegSetValueExA(handle, name, type, static_cast<const unsigned char*>(data),
                                       size));
    platform::RegCloseKey(handle);
}

} // namespace

TEST(RegistryFunctions, ValuesRoundTripByType) {
    std::string key = FreshTestKey("functions");
    const char* k = key.c_str();
    EXPECT_EQ(1, RegWriteString(kHkeyCurrentUser, k, "Name", "Relvia \xC7\xC1\xB7\xCF\xBD\xC3"));
    EXPECT_EQ(1, RegWriteDword(kHkeyCurrentUser, k, "Port", 8080));
    const unsigned char blob[] = {0x01, 0x02, 0xA0, 0xFF, 0x00, 0x7F};
    EXPECT_EQ(1, RegWriteBinary(kHkeyCurrentUser, k, "Blob", blob, sizeof blob));

    TextBuffer text;
    ASSERT_EQ(1, RegReadText(kHkeyCurrentUser, k, "name", text)); // names ignore case
    EXPECT_EQ("Relvia \xC7\xC1\xB7\xCF\xBD\xC3", Str(text));
    int number = 0;
    ASSERT_EQ(1, RegReadDword(kHkeyCurrentUser, k, "PORT", number));
    EXPECT_EQ(8080, number);
    unsigned char read[16] = {};
    unsigned long size = sizeof read;
    ASSERT_EQ(1, RegReadBinary(kHkeyCurrentUser, k, "Blob", read, size));
    EXPECT_EQ(sizeof blob, size);
    EXPECT_EQ(0, std::memcmp(blob, read, sizeof blob));
    // Any type reads as bytes.
    char bytes[8] = {};
    ASSERT_EQ(1, RegReadString(kHkeyCurrentUser, k, "Port", bytes, sizeof bytes));
    EXPECT_EQ(0x90, static_cast<unsigned char>(bytes[0])); // little-endian DWORD
    EXPECT_EQ(0x1F, static_cast<unsigned char>(bytes[1]));

    // Key paths ignore case too.
    std::string upper = key;
    for (char& c : upper) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    EXPECT_EQ(1, RegReadDword(kHkeyCurrentUser, upper.c_str(), "port", number));

    EXPECT_EQ(1, RegWriteDword(kHkeyCurrentUser, k, "Port", -1));
    ASSERT_EQ(1, RegReadDword(kHkeyCurrentUser, k, "Port", number));
    EXPECT_EQ(-1, number);
}

TEST(RegistryFunctions, FailuresLeaveOutputsAlone) {
    std::string key = FreshTestKey("failures");
    const char* k = key.c_str();
    int number = 42;
    EXPECT_EQ(0, RegReadDword(kHkeyCurrentUser, k, "Missing", number));
    EXPECT_EQ(42, number);
    ASSERT_EQ(1, RegWriteString(kHkeyCurrentUser, k, "Long", std::string(2000, 'x').c_str()));
    EXPECT_EQ(0, RegReadDword(kHkeyCurrentUser, k, "Long", number));
    EXPECT_EQ(42, number);
    TextBuffer text("kept");
    EXPECT_EQ(0, RegReadText(kHkeyCurrentUser, k, "Long", text));
    EXPECT_EQ("kept", Str(text));
    ASSERT_EQ(1, RegWriteString(kHkeyCurrentUser, k, "Fits", std::string(1023, 'y').c_str()));
    ASSERT_EQ(1, RegReadText(kHkeyCurrentUser, k, "Fits", text));
    EXPECT_EQ(1023, text.Length());

    char buffer[4];
    unsigned long size = sizeof buffer;
    EXPECT_EQ(0, RegReadString(nullptr, k, "Fits", buffer, size));
    EXPECT_EQ(0, RegReadString(kHkeyCurrentUser, nullptr, "Fits", buffer, size));
    EXPECT_EQ(0, RegReadString(kHkeyCurrentUser, k, "Fits", nullptr, size));
    EXPECT_EQ(0, RegReadString(kHkeyCurrentUser, k, "Fits", buffer, size));
    EXPECT_EQ(0, RegReadBinary(kHkeyCurrentUser, k, "Fits", nullptr, size));
    EXPECT_EQ(0, RegWriteString(kHkeyCurrentUser, nullptr, "X", "v"));
    EXPECT_EQ(0, RegWriteString(kHkeyCurrentUser, k, "X", nullptr));
    EXPECT_EQ(0, RegWriteDword(nullptr, k, "X", 1));
    EXPECT_EQ(0, RegWriteBinary(kHkeyCurrentUser, k, "X", nullptr, 3));
}

TEST(SettingsStore, DefaultsWhenTheRegistryIsEmpty) {
    SettingsStore settings;
    std::string key = FreshTestKey("defaults");
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, key.c_str()));
    EXPECT_EQ(0, settings.GetJ2KTransEnabled());
    EXPECT_EQ(1, settings.GetJ2KTransMode());
    EXPECT_EQ(1, settings.GetJ2KAlert());
    EXPECT_EQ(1, settings.GetWBAlert());
    TextBuffer text;
    settings.GetJ2KTransHost(text);
    EXPECT_EQ("j2k.corvale.co.kr", Str(text));
    settings.GetSearchURL(text);
    EXPECT_EQ("http://search.corvale.co.kr/cgi-bin/search.cgi?q=%s", Str(text));
    settings.GetClientVersion(text);
    EXPECT_EQ("0.0.00", Str(text));
    TextBuffer cid, oid;
    settings.GetUserIds(cid, oid);
    EXPECT_EQ("000000", Str(cid));
    EXPECT_EQ("000000", Str(oid));
    int learned = 5;
    EXPECT_EQ(0, settings.GetHostDir("h.x.y/a", learned));
    EXPECT_EQ(0, settings.GetObject("h.x.y/a/b.html", learned));
    EXPECT_EQ(5, learned);
    EXPECT_EQ(0, settings.GetRedirect("word", text));
    EXPECT_EQ(0, settings.IsDomainListed("corvale.co.kr"));
}

TEST(SettingsStore, ValuesAreReadAfreshAndWrittenWhereTheRootSays) {
    SettingsStore settings;
    std::string key = FreshTestKey("store");
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, key.c_str()));

    EXPECT_EQ(1, settings.SetJ2KTransEnabled(-1));
    EXPECT_EQ(-1, settings.GetJ2KTransEnabled());
    EXPECT_EQ(1, settings.SetJ2KTransMode(0));
    EXPECT_EQ(0, settings.GetJ2KTransMode());
    settings.ClearJ2KAlert();
    settings.ClearWBAlert();
    EXPECT_EQ(0, settings.GetJ2KAlert());
    EXPECT_EQ(0, settings.GetWBAlert());
    EXPECT_EQ(1, settings.SetHostDir("h.x.y/a", 1));
    EXPECT_EQ(1, settings.SetObject("h.x.y/a/b.gif", 0));
    int learned = 7;
    EXPECT_EQ(1, settings.GetHostDir("H.X.Y/A", learned));
    EXPECT_EQ(1, learned);
    EXPECT_EQ(1, settings.GetObject("h.x.y/a/b.gif", learned));
    EXPECT_EQ(0, learned);

    // Values another program wrote: text, an empty text, lists and the user key.
    const char* k = key.c_str();
    RegWriteString(kHkeyCurrentUser, k, "J2KTransHost", "");
    RegWriteString(kHkeyCurrentUser, k, "ClientVersion", "5.1.02");
    RegWriteString(kHkeyCurrentUser, (key + "\\Redirect").c_str(), "mail", "http://mail.x.y/");
    RegWriteDword(kHkeyCurrentUser, (key + "\\Domain").c_str(), "corvale.co.kr", 0);
    RegWriteString(kHkeyCurrentUser, "Software\\Corvale\\User", "CID", "123456");
    TextBuffer text("stale");
    settings.GetJ2KTransHost(text);
    EXPECT_EQ(nullptr, text.CStr());
    settings.GetClientVersion(text);
    EXPECT_EQ("5.1.02", Str(text));
    EXPECT_EQ(1, settings.GetRedirect("MAIL", text));
    EXPECT_EQ("http://mail.x.y/", Str(text));
    EXPECT_EQ(1, settings.IsDomainListed("corvale.co.kr"));
    TextBuffer cid, oid;
    settings.GetUserIds(cid, oid);
    EXPECT_EQ("123456", Str(cid));
    EXPECT_EQ("000000", Str(oid));
    // The user key is shared by every test in this process; leave it neutral.
    RegWriteString(kHkeyCurrentUser, "Software\\Corvale\\User", "CID", "000000");
}

TEST(SettingsStore, SetRegRootRulesAndExpansion) {
    SettingsStore settings;
    std::string key = FreshTestKey("root");
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, key.c_str()));
    settings.SetJ2KTransMode(3);
    EXPECT_EQ(0, settings.SetRegRoot(nullptr, "x"));
    EXPECT_EQ(0, settings.SetRegRoot(kHkeyCurrentUser, nullptr));
    EXPECT_EQ(3, settings.GetJ2KTransMode());

    // An empty path: reads give defaults and writes fail.
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, ""));
    EXPECT_EQ(1, settings.GetJ2KTransMode());
    EXPECT_EQ(0, settings.SetJ2KTransMode(3));
    EXPECT_EQ(0, settings.SetHostDir("h", 1));

    // An expandable "SearchURL" comes back expanded when it fits.
    settings.SetRegRoot(kHkeyCurrentUser, key.c_str());
    const char raw[] = "http://s/%PATH%?q=%s";
    WriteRaw(key, "SearchURL", platform::kRegExpandSz, raw, sizeof raw);
    TextBuffer url;
    settings.GetSearchURL(url);
    const char* path = std::getenv("PATH");
    ASSERT_NE(nullptr, path);
    std::string expanded = std::string("http://s/") + path + "?q=%s";
    EXPECT_EQ(expanded.size() < 1024 ? expanded : std::string(raw), Str(url));
}

TEST(SettingsStore, ReadersSeeWholeLocationsWhileTheRootMoves) {
    std::string first = FreshTestKey("moving-a");
    std::string second = FreshTestKey("moving-b");
    RegWriteDword(kHkeyCurrentUser, first.c_str(), "J2KTransMode", 11);
    RegWriteDword(kHkeyCurrentUser, second.c_str(), "J2KTransMode", 22);
    SettingsStore settings;
    settings.SetRegRoot(kHkeyCurrentUser, first.c_str());
    std::atomic<int> unexpected{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                int mode = settings.GetJ2KTransMode();
                unexpected += (mode != 11 && mode != 22) ? 1 : 0;
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        settings.SetRegRoot(kHkeyCurrentUser, (i % 2 ? first : second).c_str());
    }
    done = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(0, unexpected.load());
}
