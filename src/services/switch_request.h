#pragma once

#include "base/text_buffer.h"

class SocketChannel;

// Turns translation on ("EnableJ2KTrans") or off ("DisableJ2KTrans") for a switch
// request of the suite's pages: answers 204, stores the new state and, when the
// state changed, tells the user and the host window. 0 when `word` is no switch
// word or translation is locked (-1); the request is then relayed as usual.
int HandleJ2KSwitchUrl(SocketChannel& browser, const TextBuffer& word);

// Sends exactly "HTTP/1.1 204 No Content\r\n" and closes the browser connection.
int SendNoContent(SocketChannel& browser);
