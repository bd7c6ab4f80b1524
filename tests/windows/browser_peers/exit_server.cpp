#include "exit_server.h"

#include <windows.h>

#include <ddeml.h>

#include "peer_support.h"

namespace {

DWORD instance = 0;
HSZ service = nullptr;
HSZ exitName = nullptr; // both the topic and the item

HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR,
                           ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(DdeCmpStringHandles(topic, exitName) == 0);
    case XTYP_WILDCONNECT:
        // Reported, so that a client that should have named the service is caught.
        PrintLine("wildcard connect");
        return nullptr;
    case XTYP_POKE:
        if (DdeCmpStringHandles(item, exitName) != 0 || format != CF_TEXT) {
            return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
        }
        PrintLine("poke WWW_Exit");
        PostQuitMessage(0);
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    return nullptr;
}

} // namespace

bool StartExitServer() {
    DWORD filters = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_REQUESTS | CBF_FAIL_EXECUTES |
                    CBF_SKIP_ALLNOTIFICATIONS;
    if (DdeInitializeA(&instance, Callback, filters, 0) != DMLERR_NO_ERROR) {
        return false;
    }
    service = DdeCreateStringHandleA(instance, "NETSCAPE", CP_WINANSI);
    exitName = DdeCreateStringHandleA(instance, "WWW_Exit", CP_WINANSI);
    return service && exitName && DdeNameService(instance, service, nullptr, DNS_REGISTER);
}

void StopExitServer() {
    DdeNameService(instance, service, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(instance, exitName);
    DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);
}
