// Test build of Tessik.dll: each call appends the line "tessik_Apply" to the file named
// by RELVIA_TEST_NOTIFY_LOG (when set) and succeeds.
#include "append_line.h"
#include "environment.h"
#include "tessik.h"

extern "C" int tessik_Apply() {
    std::string log = EnvironmentValue("RELVIA_TEST_NOTIFY_LOG");
    if (!log.empty()) {
        AppendLine(log, "tessik_Apply");
    }
    return 1;
}
