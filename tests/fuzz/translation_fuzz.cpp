// The decisions on a request's URL (its class, translation by host and directory,
// by object) and what they learn from a hostile answer head of the translation
// host, decided again after learning.
#include "control/module_state.h"
#include "fuzz_input.h"
#include "proxy/http_response.h"
#include "services/request_class.h"
#include "services/translation.h"
#include "settings/settings_store.h"

namespace {

const char kKey[] = "Software\\RelviaFuzz";

// The registry keeps every value for the life of the process and has no call to
// delete one, so what was learned cannot be cleared between inputs. To keep memory
// bounded only the first kLearningAnswers answers learn into `settings`; later ones
// learn into `frozen`, whose empty key path refuses every write, and the decisions
// go on reading what was learned.
const int kLearningAnswers = 1 << 14;
int answers = 0;
SettingsStore settings;
SettingsStore frozen;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    settings.SetRegRoot(platform::kHkeyCurrentUser, kKey);
    frozen.SetRegRoot(platform::kHkeyCurrentUser, "");
    moduleState.settings = &settings;
    // What other programs keep in the registry: a listed domain, content types.
    RegWriteDword(platform::kHkeyCurrentUser, (std::string(kKey) + "\\Domain").c_str(),
                  "corvale.co.kr", 1);
    RegWriteString(platform::kHkeyClassesRoot, ".htm", "Content Type", "text/html");
    RegWriteString(platform::kHkeyClassesRoot, ".gif", "Content Type", "image/gif");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = FuzzPieces(data, size, 2);
    pieces.resize(2);
    Url url;
    url.SetUrl(FuzzText(pieces[0]).c_str());
    TextBuffer word;
    ClassifySpecialUrl(url, word);
    int hostDir = CheckHostDir(url);
    int object = CheckObject(url);
    HttpResponse answer;
    answer.SetHead(FuzzText(pieces[1]).c_str());
    if (answer.Parse()) {
        moduleState.settings = ++answers <= kLearningAnswers ? &settings : &frozen;
        LearnFromTranslation(url, answer, hostDir, object);
        moduleState.settings = &settings;
    }
    CheckHostDir(url);
    CheckObject(url);
    return 0;
}
