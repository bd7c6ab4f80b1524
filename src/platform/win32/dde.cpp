#include "platform/dde.h"

#include <initializer_list>

#include <windows.h>

#include <ddeml.h>

namespace platform {
namespace {

HDDEDATA CALLBACK IgnoreNotification(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

} // namespace

unsigned long DdeStartClient() {
    DWORD instance = 0;
    if (::DdeInitializeA(&instance, IgnoreNotification, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        return 0;
    }
    return instance;
}

void DdeStopClient(unsigned long instance) {
    ::DdeUninitialize(instance);
}

int DdePokeEmpty(unsigned long instance, const char* service, const char* topic, const char* item) {
    HSZ serviceName = ::DdeCreateStringHandleA(instance, service, CP_WINANSI);
    HSZ topicName = ::DdeCreateStringHandleA(instance, topic, CP_WINANSI);
    // A null name would make the connect a wildcard one, answered by any server.
    HCONV conversation = serviceName && topicName
                             ? ::DdeConnect(instance, serviceName, topicName, nullptr)
                             : nullptr;
    for (HSZ name : {serviceName, topicName}) {
        if (name) {
            ::DdeFreeStringHandle(instance, name);
        }
    }
    if (!conversation) {
        return -1;
    }
    HSZ itemName = ::DdeCreateStringHandleA(instance, item, CP_WINANSI);
    HDDEDATA sent = itemName ? ::DdeClientTransaction(nullptr, 0, conversation, itemName, CF_TEXT,
                                                      XTYP_POKE, TIMEOUT_ASYNC, nullptr)
                             : nullptr;
    if (itemName) {
        ::DdeFreeStringHandle(instance, itemName);
    }
    ::DdeDisconnect(conversation);
    return sent ? 1 : 0;
}

} // namespace platform
