#include "proxy/media_class.h"

const char kTextExtensions[kTextExtensionCount][kExtensionSlot] = {
    ".cfm", ".css",  ".dbm",   ".htm", ".html", ".htp", ".htt",
    ".mdl", ".shtm", ".shtml", ".rt",  ".txt",  ".js",
};

const char kBinaryExtensions[kBinaryExtensionCount][kExtensionSlot] = {
    ".ai",    ".aif", ".aifc",  ".aiff", ".aim",  ".arc", ".arj",  ".art", ".asf",   ".asx",
    ".au",    ".avi", ".b64",   ".bhx",  ".bmp",  ".cab", ".cdf",  ".cer", ".class", ".crt",
    ".der",   ".dll", ".dmp",   ".doc",  ".dot",  ".eml", ".eps",  ".exe", ".fdf",   ".fif",
    ".fml",   ".gif", ".gz",    ".hqx",  ".ins",  ".isp", ".jfif", ".jpe", ".jpeg",  ".jpg",
    ".latex", ".lsf", ".lsx",   ".lzh",  ".m1v",  ".m3u", ".man",  ".mht", ".mhtml", ".mid",
    ".mim",   ".mov", ".movie", ".mp2",  ".mp2v", ".mp3", ".mpa",  ".mpd", ".mpe",   ".mpeg",
    ".mpg",   ".mpp", ".mpt",   ".mpv2", ".nas",  ".nws", ".ocx",  ".pdf", ".pot",   ".ppa",
    ".pps",   ".ppt", ".prx",   ".ps",   ".pwz",  ".qt",  ".ra",   ".ram", ".rar",   ".rf",
    ".rm",    ".rmi", ".rmm",   ".rnx",  ".rp",   ".rpm", ".rtf",  ".rv",  ".sit",   ".smi",
    ".snd",   ".spl", ".ssm",   ".swf",  ".tar",  ".taz", ".tgz",  ".tif", ".tiff",  ".tz",
    ".uu",    ".uue", ".vdp",   ".vsl",  ".wav",  ".wiz", ".xbm",  ".xls", ".xxe",   ".z",
    ".zip",
};

namespace {

int InTable(const TextBuffer& ext, const char (*table)[kExtensionSlot], int count) {
    for (int i = 0; i < count; ++i) {
        if (ext == table[i]) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int ClassifyMediaType(const TextBuffer& text, TextBuffer& subtype) {
    static const char* const kMajorTypes[] = {"text", "image", "audio", "video"};
    subtype.Empty();
    TextBuffer major;
    int pos = 0;
    if (!text.Tokenize(pos, major, "/ ")) {
        return kMediaNone;
    }
    text.Tokenize(pos, subtype, "/ ");
    for (int i = 0; i < 4; ++i) {
        if (major.CompareNoCase(kMajorTypes[i]) == 0) {
            return kMediaText + i;
        }
    }
    return kMediaOther;
}

int IsTextExtension(const TextBuffer& ext) {
    return InTable(ext, kTextExtensions, kTextExtensionCount);
}

int IsBinaryExtension(const TextBuffer& ext) {
    return InTable(ext, kBinaryExtensions, kBinaryExtensionCount);
}
