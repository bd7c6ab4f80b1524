// The decisions on a request's URL (its class, translation by host and directory, by
// object), what they learn from a hostile answer of the translation host, and after.
#include "control/module_state.h"
#include "fuzz_input.h"
#include "proxy/http_response.h"
#include "services/request_class.h"
#include "services/translation.h"
#include "settings/settings_store.h"

static const char kKey[] = "Software\\RelviaFuzz";
// The registry keeps every value for the life of the process and nothing deletes one,
// so to keep memory bounded only the first answers learn into `settings`; later ones
// learn into `frozen`, whose empty key path refuses every write.
static const int kLearningAnswers = 1 << 14;
static int answers = 0;
static SettingsStore settings, frozen;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    settings.SetRegRoot(platform::kHkeyCurrentUser, kKey);
    frozen.SetRegRoot(platform::kHkeyCurrentUser, "");
    moduleState.settings = &settings;
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
