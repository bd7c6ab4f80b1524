#pragma once

// Where the settings live and what they are when the registry holds no value.

// The proxy's own key under the root (HKEY_LOCAL_MACHINE unless the host says otherwise).
constexpr char kDefaultKeyPath[] = "SOFTWARE\\Corvale\\Pellora5\\Relvia";
// The user ids of the identification cookie, under the same root.
constexpr char kUserKeyPath[] = "SOFTWARE\\Corvale\\User";

// The suite's Japanese-to-Korean translation service.
constexpr char kDefaultJ2KTransHost[] = "j2k.corvale.co.kr";
// The suite's web search; "%s" receives the encoded search words.
constexpr char kDefaultSearchUrl[] = "http://search.corvale.co.kr/cgi-bin/search.cgi?q=%s";

constexpr char kDefaultClientVersion[] = "0.0.00";
constexpr char kDefaultUserId[] = "000000";
