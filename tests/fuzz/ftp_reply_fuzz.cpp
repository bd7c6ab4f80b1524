// FTP control replies as any server might send them, in pieces sent apart, read reply
// by reply and each taken as the PASV reply and as the RETR reply ("(N bytes)").
#include "ftp/ftp_control.h"
#include "ftp/ftp_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoopbackPeer server(FuzzPieces(data, size, 8));
    TextBuffer reply;
    while (FtpCommandText(server.Channel(), nullptr, reply) >= 0) {
        // Without a host-name cache the data channel's connect fails before reaching
        // the fuzzing peer's own address.
        SocketChannel passive;
        FtpOpenPassive(reply, server.Channel(), &passive);
        // The browser is not connected: the file's head is built, its sending fails.
        SocketChannel browser;
        FtpSendFile(browser, TextBuffer("a.bin"), reply, &passive);
    }
    return 0;
}
