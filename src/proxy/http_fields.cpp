#include "proxy/http_fields.h"

#include <new>

int ParseHeaderLines(const TextBuffer& head, int pos, NameValue*& headers, bool closeKeepAlive) {
    TextBuffer line;
    while (head.Tokenize(pos, line, "\r\n")) {
        int colon = line.Find(':');
        if (colon <= 0) {
            continue;
        }
        TextBuffer name = line.Left(colon);
        name.TrimRight();
        TextBuffer value = line.Mid(colon + 1);
        value.TrimLeft();
        if (closeKeepAlive && value.CompareNoCase("Keep-Alive") == 0) {
            value.Assign("Close");
        }
        NameValue* field = new (std::nothrow) NameValue(name.CStr(), value.CStr());
        if (!field) {
            return 0;
        }
        AppendNode(headers, field);
    }
    return 1;
}

NameValue* FindField(NameValue* headers, const char* name) {
    for (NameValue* field = headers; field; field = field->Next()) {
        if (field->NameIs(name)) {
            return field;
        }
    }
    return nullptr;
}

int FindHeaderValue(NameValue* headers, const char* name, TextBuffer& value) {
    NameValue* field = FindField(headers, name);
    if (!field) {
        return 0;
    }
    value.Assign(field->GetValue());
    return 1;
}

int AppendHeaderLine(TextBuffer& out, const char* name, const char* value) {
    TextBuffer line;
    if (!line.Format("%s: %s\r\n", name ? name : "", value ? value : "") || !out.Append(line)) {
        out.Empty();
        return 0;
    }
    return 1;
}
