"""A scripted FTP server for both suites: what it serves (FILES, LISTINGS), and how it answers."""

import contextlib
import socket
import socketserver
import threading

from harness import DEADLINE, binary


FILES = {b"pub/a.txt": b"alpha\r\nbeta\r\n", b"pub/big.bin": binary(5 * 1024 * 1024 + 123), b"pub/README": b"no ext\n"}
FILES.update({b"pub/page.html": b"<html><body>ftp page</body></html>\n", b"pub/sub/inner.txt": b"inner\n", b"root.txt": b"at the root\n"})
UNPARSED = b"total 2\r\nd? odd line\r\n-rw only four fields\r\n+ something else\r\n"
LISTINGS = {
    b"": b"drwxr-xr-x    3 0        0            4096 Jan 15  2021 pub\r\n",
    b"pub": b"drwxr-xr-x    2 0        0            4096 Mar 01 09:05 ..\r\n"
    + b"".join(b"-rw-r--r--    1 0        0    %8d Feb  7 23:59 %s\r\n" % (len(data), name[4:])
               for name, data in FILES.items() if name.count(b"/") == 1)
    + b"-rw-r--r--    1 0        0              20 Dec 31  1999 my file.txt\r\n"
    + b"drwxr-xr-x    2 0        0            4096 Jan 15 10:30 sub\r\n",
    b"pub/sub": b"-rw-r--r--    1 0        0               6 Jan 15 10:30 inner.txt\r\n",
    b"odd": UNPARSED,
    b"dos": b"01-15-99  10:30AM  <DIR>  Sub Dir\r\n01-15-99 10:30AM 1,234 a.txt\r\n",
    b"ROOT": b"-rw-r--r--    1 0        0               6 Jan 15 10:30 top.txt\r\n",
    b"empty": b"",
    b"nobody": b"",  # the home of the user "nobody"
    b"endless": b"",
}


def folder(*parts: bytes) -> bytes:
    return b"/".join(part for part in parts if part)


class FtpServer(socketserver.ThreadingTCPServer):
    """Passive mode, CWD into LISTINGS, LIST, and RETR of FILES; it keeps every command. It answers
    by a script: REPLIES with the test's own over them (b"" is the greeting; for LIST and RETR the
    line that opens the transfer, %d the size, unless it refuses). A user other than "anonymous"
    logs in to the folder of that name. Its passive replies name 127.0.0.2, where nothing listens:
    the data connection must go to the control connection's host. A transfer is done once the
    proxy has closed the data connection: the proxy reads one reply per receive, so 150 and 226
    must not come together. Anything "endless" is sent until nobody reads it."""

    REPLIES = {b"": b"220 scripted", b"USER": b"331 password", b"PASS": b"230 in", b"TYPE": b"200 binary",
               b"PASV": b"227", b"CWD": b"250 ok", b"QUIT": b"221 bye", b"LIST": b"150 Here comes the listing.",
               b"RETR": b"150 Opening BINARY mode data connection (%d bytes)."}

    def __init__(self, script: dict = None) -> None:
        super().__init__(("127.0.0.1", 0), None)
        self.commands, self.port, self.replies = [], self.server_address[1], {**self.REPLIES, **(script or {})}
        threading.Thread(target=self.serve_forever, args=(0.05,), daemon=True).start()

    def __exit__(self, *failure) -> None:
        self.shutdown()
        super().__exit__(*failure)

    def finish_request(self, control, address) -> None:
        control.settimeout(DEADLINE)
        home = cwd = b""
        with socket.create_server(("127.0.0.1", 0)) as passive, contextlib.suppress(OSError):
            passive.settimeout(DEADLINE)
            control.sendall(self.replies[b""] + b"\r\n")
            for line in control.makefile("rb"):
                self.commands.append(line.strip())
                verb, _, argument = line.strip().partition(b" ")
                reply = self.replies.get(verb, b"502 no")
                if verb == b"USER":
                    home = cwd = b"" if argument == b"anonymous" else argument
                elif verb == b"PASV" and reply == b"227":
                    reply = b"227 Entering Passive Mode (127,0,0,2,%d,%d)." % divmod(passive.getsockname()[1], 256)
                elif verb == b"CWD" and folder(home, argument) not in LISTINGS:
                    reply = b"550 no"
                elif verb == b"CWD":
                    cwd = folder(home, argument)
                elif verb in (b"LIST", b"RETR") and reply.startswith(b"1"):
                    content = LISTINGS.get(cwd) if verb == b"LIST" else FILES.get(folder(cwd, argument))
                    endless = b"endless" in (cwd, argument[:7])
                    reply = self.transfer(control, passive, reply, content, endless)
                control.sendall(reply + b"\r\n")
                if verb == b"QUIT":
                    return

    @staticmethod
    def transfer(control, passive, opening: bytes, content: bytes, endless: bool) -> bytes:
        if content is None and not endless:
            return b"550 no"
        with passive.accept()[0] as data:
            data.settimeout(2 * DEADLINE)
            control.sendall((opening % len(content or b"") if b"%d" in opening else opening) + b"\r\n")
            try:
                while endless:
                    data.sendall(b"no end in sight\r\n" * 1000)
                data.sendall(content)
                data.shutdown(socket.SHUT_WR)
                data.recv(1)
            except OSError:
                return b"426 aborted"
        return b"226 done"
