// Directory listings as any FTP server might send them.
#include "ftp/ftp_listing.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FtpListing listing;
    for (FtpListEntry* entry =
             listing.Parse(TextBuffer(FuzzText(FuzzPieces(data, size, 1)[0]).c_str()));
         entry; entry = entry->Next()) {
        entry->GetName();
        entry->GetDate();
    }
    return 0;
}
