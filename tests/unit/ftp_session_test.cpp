// FTP sessions through the proxy against a scripted server that can do what
// well-behaved servers never do.
#include <map>
#include <mutex>

#include "proxy_fixture.h"

namespace {

// Reads one CRLF-terminated command line; empty when the peer is gone.
std::string ReadLine(SocketChannel& peer) {
    std::string line;
    char c;
    while (peer.Receive(&c, 1) == 1) {
        line += c;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            return line.substr(0, line.size() - 2);
        }
    }
    return "";
}

class ScriptedFtp {
public:
    // Replies by whole command line, then by verb; USER asks for a password and
    // every other command is answered "200 OK".
    std::map<std::string, std::string> replies{{"USER", "331 Password please.\r\n"},
                                               {"PASS", "230 Welcome.\r\n"},
                                               {"QUIT", "221 Bye.\r\n"}};
    std::vector<std::string> greeting{"220 Ready.\r\n"};
    std::string payload;
    std::string transferStart = "150 Here it comes.\r\n";
    std::string transferEnd = "226 Done.\r\n";
    bool startAndEndTogether = false;

    ScriptedFtp() {
        listening_.Create();
        listening_.Bind(0);
        listening_.Listen();
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedFtp() {
        stopping_ = true;
        platform::Socket wake = platform::OpenTcpSocket();
        platform::ConnectSocket(wake, platform::InetAddr("127.0.0.1"), Port());
        platform::CloseSocket(wake);
        thread_.join();
    }
    int Port() { return listening_.LocalPort(); }
    std::vector<std::string> Commands() {
        std::lock_guard<std::mutex> hold(lock_);
        return commands_;
    }

private:
    void Serve() {
        for (;;) {
            std::unique_ptr<SocketChannel> control(listening_.Accept());
            if (stopping_ || !control) {
                return;
            }
            Session(*control);
        }
    }

    void Reply(SocketChannel& control, const std::string& text) {
        control.Send(text.data(), static_cast<int>(text.size()));
    }

    void Session(SocketChannel& control) {
        for (const std::string& part : greeting) {
            Reply(control, part);
            // Paced, so that the parts arrive in receives of their own.
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        SocketChannel data;
        for (std::string line = ReadLine(control); !line.empty(); line = ReadLine(control)) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                commands_.push_back(line);
            }
            std::string verb = line.substr(0, line.find(' '));
            if (replies.count(line)) {
                Reply(control, replies[line]);
            } else if (verb == "PASV") {
                data.Create();
                data.Bind(0);
                data.Listen();
                int port = data.LocalPort();
                Reply(control, "227 Entering Passive Mode (127,0,0,1," +
                                   std::to_string(port / 256) + "," + std::to_string(port % 256) +
                                   ").\r\n");
            } else if (verb == "LIST" || verb == "RETR") {
                Transfer(control, data);
            } else {
                Reply(control, replies.count(verb) ? replies[verb] : "200 OK.\r\n");
            }
            if (verb == "QUIT") {
                return;
            }
        }
    }

    void Transfer(SocketChannel& control, SocketChannel& data) {
        std::unique_ptr<SocketChannel> stream(data.Accept());
        if (!startAndEndTogether) {
            Reply(control, transferStart);
        }
        if (stream) {
            stream->Send(payload.data(), static_cast<int>(payload.size()));
            stream->Close();
        }
        Reply(control, startAndEndTogether ? transferStart + transferEnd : transferEnd);
    }

    SocketChannel listening_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::vector<std::string> commands_;
};

std::string FtpRequest(ScriptedFtp& ftp, const std::string& path) {
    return "GET ftp://u:pw@127.0.0.1:" + std::to_string(ftp.Port()) + path + " HTTP/1.0\r\n\r\n";
}

} // namespace

TEST_F(ProxyTest, FtpFileWithSizeAndType) {
    ScriptedFtp ftp;
    ftp.greeting = {"220-Welcome\r\n220-to the\r\n", "220 scripted server.\r\n"};
    ftp.payload = std::string("bin\0ary", 7);
    ftp.transferStart = "150 Opening BINARY mode data connection for a.bin (7 bytes).\r\n";
    ftp.replies["CWD pub/a.bin"] = "550 Not a directory.\r\n";
    EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nContent-Type: application/unknown\r\n\r\n" +
                  ftp.payload,
              Exchange(FtpRequest(ftp, "/pub/a.bin")));
    EXPECT_EQ((std::vector<std::string>{"USER u", "PASS pw", "TYPE I", "PASV", "CWD pub/a.bin",
                                        "CWD pub", "RETR a.bin", "QUIT"}),
              ftp.Commands());
}

TEST_F(ProxyTest, FtpDirectoriesListedWithTheirSlash) {
    ScriptedFtp ftp;
    ftp.replies["USER anonymous"] = "230 Anonymous welcome.\r\n";
    ftp.payload = "drwxr-xr-x 2 o g 4096 Jan 15 10:30 deeper\r\n";
    std::string page =
        Exchange("GET ftp://127.0.0.1:" + std::to_string(ftp.Port()) + "/pub/sub HTTP/1.0\r\n\r\n");
    EXPECT_NE(std::string::npos, page.find("<a href=\"/pub/sub/deeper/\">deeper</a>")) << page;
    EXPECT_NE(std::string::npos, page.find("<a href=\"/pub/sub/../\">")) << page;
    EXPECT_EQ((std::vector<std::string>{"USER anonymous", "TYPE I", "PASV", "CWD pub/sub", "LIST",
                                        "QUIT"}),
              ftp.Commands());
}

TEST_F(ProxyTest, FtpFailuresLeaveTheBrowserUntouchedAndTryTwice) {
    ScriptedFtp ftp;
    ftp.replies["CWD a.txt"] = "550 Not a directory.\r\n";
    ftp.replies["RETR a.txt"] = "550 No such file.\r\n";
    EXPECT_EQ("", Exchange(FtpRequest(ftp, "/a.txt")));
    std::vector<std::string> once = {"USER u", "PASS pw",   "TYPE I",
                                     "PASV",   "CWD a.txt", "RETR a.txt"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(twice, ftp.Commands());

    // 150 and 226 in one receive count as class 2: LIST fails.
    ScriptedFtp eager;
    eager.startAndEndTogether = true;
    EXPECT_EQ("", Exchange(FtpRequest(eager, "/")));

    // A wrong password, or a PASV reply without its numbers.
    ScriptedFtp locked;
    locked.replies["PASS"] = "530 Login incorrect.\r\n";
    EXPECT_EQ("", Exchange(FtpRequest(locked, "/")));
    ScriptedFtp odd;
    odd.replies["PASV"] = "227 Entering Passive Mode (127,0,0,1).\r\n";
    EXPECT_EQ("", Exchange(FtpRequest(odd, "/")));
}
