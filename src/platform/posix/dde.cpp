#include "platform/dde.h"

// Without Windows there is no DDE: the client never starts.

namespace platform {

unsigned long DdeStartClient() {
    return 0;
}

void DdeStopClient(unsigned long /*instance*/) {}

int DdePokeEmpty(unsigned long /*instance*/, const char* /*service*/, const char* /*topic*/,
                 const char* /*item*/) {
    return -1;
}

} // namespace platform
