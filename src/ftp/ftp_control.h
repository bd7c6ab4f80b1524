#pragma once

#include "base/text_buffer.h"

class SocketChannel;

// The FTP control connection: commands, replies, directories and the passive data
// address.

// Sends `command` (when given) and reads the reply: the first digit of its final
// line, or -1 when no reply came. Each receive is judged by its own last line, so
// continuation lines are read past and a reply split over receives is read whole.
int FtpCommand(SocketChannel& control, const char* command);
// As FtpCommand, keeping every byte received for the reply in `reply`.
int FtpCommandText(SocketChannel& control, const char* command, TextBuffer& reply);
// "CWD <directory>"; an empty directory succeeds without a command.
int FtpChangeDir(SocketChannel& control, const TextBuffer& directory);
// Connects `data` to the port of a "227 ... (h1,h2,h3,h4,p1,p2)" reply on the host
// the control connection goes to. The address the reply names is not used: a server
// could otherwise point the gateway at any machine and port of the user's network
// (and a server behind address translation names an address nobody can reach).
int FtpOpenPassive(const TextBuffer& reply, const SocketChannel& control, SocketChannel* data);
