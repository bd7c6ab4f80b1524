#pragma once

#include "base/url.h"

class HttpResponse;
class SocketChannel;

// Whether a request goes through the Japanese-to-Korean translation host, decided
// from the host, the directory and the object, and learned from the translation
// host's answers. Decisions: 0 do not translate, 1 translate and learn, 2
// translate (already known or certain).

int CheckHostDir(const Url& url);
int CheckObject(const Url& url);

// Connects `server` to the translation host on a port of 4000-4005 (primary) or
// 3000-3005 (fallback), chosen from the current second.
int ConnectTranslationHostPrimary(SocketChannel& server);
int ConnectTranslationHostFallback(SocketChannel& server);

// Records what the translation host's answer says about the host-and-directory
// (its "Language") and the object (its media class) where the decision was 1.
void LearnFromTranslation(const Url& url, const HttpResponse& response, int hostDirDecision,
                          int objectDecision);
