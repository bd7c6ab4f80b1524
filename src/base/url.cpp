#include "base/url.h"

#include "base/decimal.h"

const char Url::kAnonymousUser[] = "anonymous";
const char Url::kAnonymousPassword[] = "relvia@example.com";

namespace {

const int kHttpPort = 80;
const int kFtpPort = 21;

} // namespace

int Url::SetUrl(const char* text) {
    url_.Assign(text);
    url_.TrimLeft();
    url_.TrimRight();
    if (Parse()) {
        return 1;
    }
    scheme_ = kNone;
    host_.Empty();
    port_ = 0;
    path_.Empty();
    user_.Empty();
    password_.Empty();
    return 0;
}

int Url::Parse() {
    if (url_.IsEmpty()) {
        return 0;
    }
    scheme_ = kHttp;
    port_ = kHttpPort;
    int last = url_.Length() - 1;
    int slash = url_.Find('/');
    if (slash == 0) {
        return 0;
    }
    if (slash < 0) {
        path_.Assign("/");
        ParseAuthority(0, last);
        return 1;
    }
    int start = 0;
    int end = slash - 1;
    bool endOpen = false;
    TextBuffer schemeWord = url_.Left(slash);
    if (schemeWord.CompareNoCase("http:") == 0) {
        start = slash + 2;
        endOpen = true;
    } else if (schemeWord.CompareNoCase("ftp:") == 0) {
        scheme_ = kFtp;
        port_ = kFtpPort;
        start = slash + 2;
        endOpen = true;
    }
    if (start >= last) {
        return 0;
    }
    if (endOpen) {
        int next = url_.Mid(start).Find('/');
        end = next < 0 ? last : start + next - 1;
    }
    ParseAuthority(start, end);
    if (end < last) {
        path_ = url_.Mid(end + 1);
    } else {
        path_.Assign("/");
    }
    return 1;
}

void Url::ParseAuthority(int start, int end) {
    TextBuffer authority = url_.Mid(start, end - start + 1);
    TextBuffer hostPort;
    int at = authority.Find('@');
    if (at > 0 && at < authority.Length() - 1) {
        hostPort = authority.Mid(at + 1);
        TextBuffer userInfo = authority.Left(at);
        int colon = userInfo.Find(':');
        if (colon >= 0 && colon < userInfo.Length() - 1) {
            user_ = userInfo.Left(colon);
            password_ = userInfo.Mid(colon + 1);
        } else {
            user_ = userInfo;
            password_.Empty();
        }
    } else {
        hostPort = authority;
        bool anonymous = scheme_ == kFtp;
        user_.Assign(anonymous ? kAnonymousUser : nullptr);
        password_.Assign(anonymous ? kAnonymousPassword : nullptr);
    }
    int colon = hostPort.Find(':');
    if (colon > 0 && colon < hostPort.Length() - 1) {
        host_ = hostPort.Left(colon);
        port_ = LeadingDecimal(hostPort.Mid(colon + 1).CStr());
    } else {
        host_ = hostPort;
    }
}

TextBuffer Url::GetDirectory() const {
    int first = path_.Find('/');
    if (first < 0 || first == path_.Length() - 1) {
        return TextBuffer();
    }
    int last = path_.ReverseFind('/');
    return last <= 0 ? TextBuffer() : path_.Mid(first + 1, last - first - 1);
}

TextBuffer Url::GetFileName() const {
    int last = path_.ReverseFind('/');
    return (last < 0 || last == path_.Length() - 1) ? TextBuffer() : path_.Mid(last + 1);
}

TextBuffer Url::GetFileNameNoQuery() const {
    TextBuffer name = GetFileName();
    int query = name.Find('?');
    return query > 0 ? name.Left(query) : name;
}

int Url::StartBehindScheme() const {
    int mark = url_.Find("://");
    return mark < 0 ? -1 : mark + 3;
}

TextBuffer Url::GetHostAndDirectory() const {
    int start = StartBehindScheme();
    int last = url_.ReverseFind('/');
    return (start < 0 || last <= start) ? TextBuffer() : url_.Mid(start, last - start);
}

TextBuffer Url::GetUrlNoSchemeNoQuery() const {
    int start = StartBehindScheme();
    if (start < 0) {
        return TextBuffer();
    }
    int query = url_.ReverseFind('?');
    if (query <= start) {
        query = url_.Length();
    }
    return url_.Mid(start, query - start);
}

TextBuffer Url::GetDomain() const {
    return host_.Count('.') > 1 ? host_.Mid(host_.Find('.') + 1) : host_;
}

int Url::IsValid() const {
    return (scheme_ != kNone && !host_.IsEmpty() && port_ != 0 && !path_.IsEmpty()) ? 1 : 0;
}

int Url::EnsureTrailingSlash() {
    if (url_.CharAt(url_.Length() - 1) == '/') {
        return 1;
    }
    url_.AppendChar('/');
    return Parse();
}
