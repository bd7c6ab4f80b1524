// FTP control replies as any server might send them, in pieces sent apart: read
// reply by reply as a session reads them, and each reply then taken as the PASV
// reply (the data address) and as the RETR reply (the size in "(N bytes)").
#include "ftp/ftp_control.h"
#include "ftp/ftp_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoopbackPeer server(FuzzPieces(data, size, 8));
    TextBuffer reply;
    while (FtpCommandText(server.Channel(), nullptr, reply) >= 0) {
        // The data channel would go to the fuzzing peer's own address; without a
        // host-name cache its connect fails before reaching it.
        SocketChannel passive;
        FtpOpenPassive(reply, server.Channel(), &passive);
        // The browser is not connected: the file's head is built, its sending fails.
        SocketChannel browser;
        FtpSendFile(browser, TextBuffer("a.bin"), reply, &passive);
    }
    return 0;
}
