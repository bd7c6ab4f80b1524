// The DDE server of a running Navigator, reduced to what the library uses: service
// "NETSCAPE", topic "WWW_Exit", and a poke of item "WWW_Exit" that makes it quit.
#pragma once

// Registers the service on this thread. A poke prints "poke WWW_Exit", is acknowledged
// and ends this thread's message loop.
bool StartExitServer();

// Unregisters the service and ends every conversation.
void StopExitServer();
