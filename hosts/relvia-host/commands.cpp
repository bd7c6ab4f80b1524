#include "commands.h"

#include <sstream>

#include "browser_record.h"

std::string RunCommand(RelviaLibrary& library, HWND window, const std::string& line, bool& quit) {
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
        return "on " + std::to_string(TurnOnRecorded(library, window));
    }
    if (verb == "off") {
        TurnOffRecorded(library);
        return "off";
    }
    if (verb == "regroot") {
        std::string root, path;
        words >> root;
        std::getline(words >> std::ws, path);
        HKEY key = root == "HKLM"   ? HKEY_LOCAL_MACHINE
                   : root == "HKCU" ? HKEY_CURRENT_USER
                                    : nullptr;
        if (!key) {
            return "error regroot needs HKLM or HKCU";
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
