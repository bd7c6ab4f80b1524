#pragma once

// A DDE client, enough to ask another program to do something: an instance that only
// makes conversations, and one empty poke.

namespace platform {

// DdeInitializeA as a client only, with a callback that answers 0; 0 when DDE is
// not available.
unsigned long DdeStartClient();
void DdeStopClient(unsigned long instance);

// Connects to `service` on `topic`, pokes `item` with no data (text format, without
// waiting for the answer) and disconnects. -1 when no conversation was made, else
// 1 when the transaction was sent and 0 when it was not.
int DdePokeEmpty(unsigned long instance, const char* service, const char* topic, const char* item);

} // namespace platform
