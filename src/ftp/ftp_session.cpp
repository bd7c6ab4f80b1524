// One FTP session per browser request: log in, switch to binary, open a passive
// data connection, decide between directory and file, and answer the browser with
// a listing page or the file. Nothing reaches the browser before LIST or RETR was
// accepted, so a failed session can be run once more.
#include "base/trace.h"
#include "ftp/ftp_control.h"
#include "ftp/ftp_file.h"
#include "ftp/ftp_listing.h"
#include "proxy/agent.h"

namespace {

// "VERB argument\r\n", or -1 as a reply class when the line cannot be built.
int Command(SocketChannel& control, const char* format, const TextBuffer& argument,
            TextBuffer* reply = nullptr) {
    TextBuffer line;
    if (!line.Format(format, argument.CStr() ? argument.CStr() : "")) {
        return -1;
    }
    return reply ? FtpCommandText(control, line.CStr(), *reply) : FtpCommand(control, line.CStr());
}

int LogIn(SocketChannel& control, const Url& url, const TextBuffer& host, int port) {
    int userClass = Command(control, "USER %s\r\n", url.GetUser());
    if (userClass == 3) {
        if (Command(control, "PASS %s\r\n", url.GetPassword()) != 2) {
            Trace("Login Failed. Password incorrect.\n");
            return 0;
        }
    } else if (userClass != 2) {
        Trace("Login to host %s:%d has failed.\n", host.CStr(), port);
        return 0;
    }
    return 1;
}

} // namespace

int Agent::ServeFtp() {
    TextBuffer host;
    int port = 0;
    if (!request_->GetHostPort(host, port)) {
        return 0;
    }
    SocketChannel control;
    if (!control.Create() || !control.Bind(0) || !control.AttachStopEvent(stopEvent_)) {
        return 0;
    }
    UpstreamWatch watchControl(*this, control);
    if (!control.Connect(host.CStr(), port)) {
        Trace("Unable to connect to host %s:%d\n", host.CStr(), port);
        return 0;
    }
    if (FtpCommand(control, nullptr) != 2) {
        Trace("Host %s denied connection.\n", host.CStr());
        return 0;
    }
    Url& url = request_->GetUrlObject();
    if (!LogIn(control, url, host, port)) {
        return 0;
    }
    if (FtpCommand(control, "TYPE I\r\n") != 2) {
        Trace("Unable to set file type to 'I'\n");
        return 0;
    }
    SocketChannel data;
    if (!data.AttachStopEvent(stopEvent_)) {
        return 0;
    }
    UpstreamWatch watchData(*this, data);
    TextBuffer reply;
    if (FtpCommandText(control, "PASV\r\n", reply) != 2) {
        Trace("Host %s does not support PASV.\n", host.CStr());
        return 0;
    }
    if (!FtpOpenPassive(reply, control, &data)) {
        Trace("Unable to connect to PASV host\n");
        return 0;
    }

    TextBuffer directory = url.GetDirectory();
    TextBuffer name = url.GetFileName();
    bool list = name.IsEmpty();
    if (list) {
        if (!FtpChangeDir(control, directory)) {
            return 0;
        }
    } else {
        TextBuffer path = name;
        if (!directory.IsEmpty() && !path.Format("%s/%s", directory.CStr(), name.CStr())) {
            return 0;
        }
        list = FtpChangeDir(control, path) != 0;
        if (!list && !FtpChangeDir(control, directory)) {
            return 0;
        }
    }

    if (list) {
        int listClass = FtpCommand(control, "LIST\r\n");
        if (listClass != 1) {
            Trace(listClass == 5 ? "Directory does not exist.\n" : "Unable to LIST.\n");
            return 0;
        }
        url.EnsureTrailingSlash();
        if (!FtpSendListing(*client_, url, data)) {
            Trace("Error while listing...\n");
            return 0;
        }
    } else {
        int retrClass = Command(control, "RETR %s\r\n", name, &reply);
        if (retrClass != 1) {
            Trace(retrClass == 5 ? "File %s does not exist.\n" : "Unable to retrieve file %s.\n",
                  name.CStr());
            return 0;
        }
        if (!FtpSendFile(*client_, name, reply, &data)) {
            Trace("Error while retrieving...\n");
            return 0;
        }
    }

    // The data channel is closed before the closing reply is awaited: when the browser
    // went away or the listing was cut at its bound, the server is still writing and
    // replies only once it finds nobody reading.
    data.Close();
    Trace(FtpCommand(control, nullptr) == 2 ? "Transfer Complete.\n"
                                            : "Retrieve or List failed.\n");
    FtpCommand(control, "QUIT\r\n");
    control.Close();
    return 1;
}
