#pragma once

// A console program's request to stop: Ctrl-C, or SIGTERM where there are signals.

namespace platform {

// Call first in main, before any thread starts: from then on a stop request no
// longer ends the process but is kept for WaitForStopRequest.
void HoldStopRequests();
// Blocks until a stop request arrives.
void WaitForStopRequest();

} // namespace platform
