#include "commands.h"

#include <sstream>

#include "browser_record.h"

std::string RunCommand(RelviaLibrary& library, HWND window, const std::string& line,
                       RunState& state, bool& quit) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    quit = verb == "quit";
    if (quit) {
        return "bye";
    }
    if (!library.IsLoaded()) {
        return "error the library is not loaded";
    }
    if (verb == "on") {
        int result = TurnOnRecorded(library, window);
        state = RunState{result == 0, result != 0, false};
        return "on " + std::to_string(result);
    }
    if (verb == "off") {
        state = RunState{false, false, TurnOffRecorded(library)};
        return "off";
    }
    if (verb == "status") {
        return "status " + StatusText(library, state, " / ");
    }
    if (verb == "regroot") {
        std::string root, path;
        words >> root;
        std::getline(words >> std::ws, path);
        HKEY key = root == "HKLM"   ? HKEY_LOCAL_MACHINE
                   : root == "HKCU" ? HKEY_CURRENT_USER
                                    : nullptr;
        if (!key && root != "0") { // a zero root goes to the library as it is
            return "error regroot needs HKLM, HKCU or 0";
        }
        return "regroot " + std::to_string(library.SetRegRoot(key, path.c_str()));
    }
    int number = 0;
    if (verb == "enable" && words >> number) {
        library.EnableJ2KTrans(number);
        return "enable";
    }
    if (verb == "mode" && words >> number) {
        library.SetJ2KTransMode(number);
        return "mode";
    }
    if (verb == "enabled") {
        return "enabled " + std::to_string(library.J2KTransEnabled());
    }
    if (verb == "getmode") {
        return "getmode " + std::to_string(library.GetJ2KTransMode());
    }
    if (verb == "count") {
        int busy = -1;
        int idle = -1;
        int total = library.GetAgentCount(&busy, &idle);
        return "count " + std::to_string(total) + " " + std::to_string(busy) + " " +
               std::to_string(idle);
    }
    if (verb == "free") {
        // As a host may: freed as it stands, on or off.
        library.Free();
        return "free";
    }
    return "error unknown command " + verb;
}

std::string StatusText(RelviaLibrary& library, const RunState& state, const char* separator) {
    if (!library.IsLoaded()) {
        return "Relvia.dll is not loaded";
    }
    int busy = 0;
    int idle = 0;
    int total = library.GetAgentCount(&busy, &idle);
    std::string text;
    if (total >= 0) {
        text = "Proxy on at port 8080: " + std::to_string(busy) + " busy, " + std::to_string(idle) +
               " idle agents";
    } else if (state.on) {
        text = "Proxy not listening: port 8080 could not be taken; the browsers point at it "
               "until the proxy is turned off";
    } else if (state.gaveBack) {
        text = "Proxy off: port 8080 could not be taken; the browsers have their settings back";
    } else if (state.turnOnFailed) {
        text = "Proxy off: turning on failed, no browser was found";
    } else {
        text = "Proxy off";
    }
    return text + separator +
           (library.J2KTransEnabled() > 0 ? "Translation on" : "Translation off");
}
