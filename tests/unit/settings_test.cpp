#include "settings/settings_store.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include "test_support.h"

using platform::kHkeyCurrentUser;

// A text longer than the 1024-byte buffer, a buffer too small, a value of another type
// and a missing one leave the outputs alone.
TEST(RegistryFunctions, FailuresLeaveOutputsAlone) {
    const std::string key = FreshTestKey("failures");
    const char* k = key.c_str();
    ASSERT_EQ(1, RegWriteString(kHkeyCurrentUser, k, "Long", std::string(1025, 'x').c_str()));
    int number = 42;
    TextBuffer text("kept");
    char bytes[4] = "abc";
    unsigned long size = sizeof bytes;
    EXPECT_EQ("0 0 0 0 0", Numbers(RegReadDword(kHkeyCurrentUser, k, "Missing", number),
                                   RegReadDword(kHkeyCurrentUser, k, "Long", number),
                                   RegReadText(kHkeyCurrentUser, k, "Long", text),
                                   RegReadString(kHkeyCurrentUser, k, "Long", bytes, size),
                                   RegReadBinary(kHkeyCurrentUser, k, "Missing",
                                                 reinterpret_cast<unsigned char*>(bytes), size)));
    EXPECT_EQ("42 kept abc", std::to_string(number) + " " + Str(text) + " " + bytes);
}

namespace {

// Every setting in one line: enabled, mode, the alerts, the texts, the user ids, a
// learned entry each, a redirect and whether a domain is listed.
std::string Everything(const SettingsStore& settings) {
    TextBuffer host, search, version, cid, oid, redirect;
    settings.GetJ2KTransHost(host);
    settings.GetSearchURL(search);
    settings.GetClientVersion(version);
    settings.GetUserIds(cid, oid);
    int hostDir = -7, object = -7;
    int found = settings.GetHostDir("h.x/A", hostDir) * 10 + settings.GetObject("h.x/a/b", object);
    int redirected = settings.GetRedirect("MAIL", redirect);
    return Numbers(settings.GetJ2KTransEnabled(), settings.GetJ2KTransMode(),
                   settings.GetJ2KAlert(), settings.GetWBAlert()) +
           " " + Str(host) + " " + Str(search) + " " + Str(version) + " " + Str(cid) + " " +
           Str(oid) + " " +
           Numbers(found, hostDir, object, redirected, settings.IsDomainListed("corvale.co.kr")) +
           " " + Str(redirect);
}

} // namespace

// Names of keys and values match without regard to case.
TEST(SettingsStore, DefaultsAndValuesReadAfresh) {
    SettingsStore settings;
    const std::string key = FreshTestKey("store");
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, key.c_str()));
    EXPECT_EQ("0 1 1 1 j2k.corvale.co.kr http://search.corvale.co.kr/cgi-bin/search.cgi?q=%s "
              "0.0.00 000000 000000 0 -7 -7 0 0 ",
              Everything(settings));
    EXPECT_EQ("1 1 1 1",
              Numbers(settings.SetJ2KTransEnabled(-1), settings.SetJ2KTransMode(0),
                      settings.SetHostDir("h.x/a", 1), settings.SetObject("h.x/a/b", 0)));
    settings.ClearJ2KAlert();
    settings.ClearWBAlert();
    // What another program wrote: an empty text, lists and the user ids.
    const char* k = key.c_str();
    RegWriteString(kHkeyCurrentUser, k, "J2KTransHost", "");
    RegWriteString(kHkeyCurrentUser, k, "SearchURL", "http://s/?q=%s");
    RegWriteString(kHkeyCurrentUser, k, "ClientVersion", "5.1.02");
    RegWriteString(kHkeyCurrentUser, (key + "\\Redirect").c_str(), "mail", "http://mail.x/");
    RegWriteDword(kHkeyCurrentUser, (key + "\\Domain").c_str(), "corvale.co.kr", 0);
    const char user[] = "Software\\Corvale\\User";
    RegWriteString(kHkeyCurrentUser, user, "CID", "c1");
    RegWriteString(kHkeyCurrentUser, user, "OID", "o2");
    EXPECT_EQ("-1 0 0 0  http://s/?q=%s 5.1.02 c1 o2 11 1 0 1 1 http://mail.x/",
              Everything(settings));
    // The user key is shared by the whole process: leave the defaults in it.
    RegWriteString(kHkeyCurrentUser, user, "CID", "000000");
    RegWriteString(kHkeyCurrentUser, user, "OID", "000000");
}

TEST(SettingsStore, SetRegRootRules) {
    SettingsStore settings;
    const std::string key = FreshTestKey("root");
    // An empty path: reads give the defaults and writes fail.
    ASSERT_EQ(1, settings.SetRegRoot(kHkeyCurrentUser, ""));
    EXPECT_EQ("0 0", Numbers(settings.SetJ2KTransMode(3), settings.SetHostDir("h", 1)));
    EXPECT_EQ(1, settings.GetJ2KTransMode());
    // An expandable "SearchURL" comes back expanded when that fits its 1024 bytes exactly.
    settings.SetRegRoot(kHkeyCurrentUser, key.c_str());
    const char raw[] = "http://s/%RELVIA_FILL%?q=%s";
    platform::RegKey handle = nullptr;
    platform::RegCreateKeyExA(kHkeyCurrentUser, key.c_str(), platform::kKeyAllAccess, &handle);
    platform::RegSetValueExA(handle, "SearchURL", platform::kRegExpandSz,
                             reinterpret_cast<const unsigned char*>(raw), sizeof raw);
    platform::RegCloseKey(handle);
    static std::string variables[2]; // the environment keeps pointing into them
    for (int fill : {1009, 1010}) {
        variables[fill - 1009] = "RELVIA_FILL=" + std::string(fill, 'f');
        putenv(&variables[fill - 1009][0]);
        TextBuffer url;
        settings.GetSearchURL(url);
        EXPECT_EQ(fill == 1009 ? "http://s/" + std::string(fill, 'f') + "?q=%s" : raw, Str(url));
    }
}

// Also run under ThreadSanitizer: a reader always uses one whole location.
TEST(SettingsStore, ReadersSeeWholeLocationsWhileTheRootMoves) {
    const std::string keys[] = {FreshTestKey("moving"), FreshTestKey("moving")};
    RegWriteDword(kHkeyCurrentUser, keys[0].c_str(), "J2KTransMode", 11);
    RegWriteDword(kHkeyCurrentUser, keys[1].c_str(), "J2KTransMode", 22);
    SettingsStore settings;
    settings.SetRegRoot(kHkeyCurrentUser, keys[0].c_str());
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            int mode = settings.GetJ2KTransMode();
            unexpected += mode != 11 && mode != 22;
        }
    });
    for (int i = 0; i < 300; ++i) {
        settings.SetRegRoot(kHkeyCurrentUser, keys[i % 2].c_str());
    }
    reader.join();
    EXPECT_EQ(0, unexpected.load());
}
