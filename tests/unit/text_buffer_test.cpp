#include "base/text_buffer.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// CP949: a lead byte followed by a trail byte that happens to be ASCII 'A'.
const char kLeadWithAsciiTrail[] = "\x81\x41";
// CP949 "가".
const char kGa[] = "\xB0\xA1";

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "<empty>";
}

} // namespace

TEST(TextBuffer, EmptyTextIsNoBlockAndEqualsNothing) {
    TextBuffer none;
    TextBuffer fromEmpty("");
    TextBuffer fromNull(nullptr);
    for (const TextBuffer* t : {&none, &fromEmpty, &fromNull}) {
        EXPECT_EQ(nullptr, t->CStr());
        EXPECT_EQ(-1, t->Length());
        EXPECT_TRUE(t->IsEmpty());
        EXPECT_EQ('\0', t->CharAt(t->Length() - 1));
        EXPECT_EQ(-1, t->Compare(""));
        EXPECT_FALSE(*t == "");
        EXPECT_TRUE(*t != "");
        EXPECT_EQ(-1, t->CompareNoCase(t->CStr()));
        EXPECT_EQ(-1, t->Count('a'));
        EXPECT_EQ(-1, t->Find('a'));
        EXPECT_EQ(-1, t->Find("a"));
        EXPECT_EQ(-1, t->ReverseFind('a'));
        EXPECT_FALSE(t->IsAllDigits());
        EXPECT_FALSE(t->ContainsNonAscii());
    }
    TextBuffer text("abc");
    EXPECT_EQ(-1, text.Compare(nullptr));
    EXPECT_EQ(-1, text.Compare(""));
    EXPECT_EQ(-1, text.CompareNoCase(""));
    text.Assign("");
    EXPECT_EQ(nullptr, text.CStr());
}

TEST(TextBuffer, AssignAndAppendMakeDeepCopies) {
    TextBuffer text;
    text.Append("ab");
    EXPECT_EQ("ab", Str(text));
    text.Append(nullptr);
    text.Append("");
    text.Append(TextBuffer());
    text.AppendChar('\0');
    EXPECT_EQ("ab", Str(text));
    text.Append(text);
    text.AppendChar('!');
    EXPECT_EQ("abab!", Str(text));
    EXPECT_EQ(5, text.Length());

    TextBuffer copy(text);
    copy.MakeLower();
    copy.Append("x");
    EXPECT_NE(text.CStr(), copy.CStr());
    EXPECT_EQ("abab!", Str(text));
    TextBuffer& alias = text;
    text = alias;
    text.Assign(text);
    EXPECT_EQ("abab!", Str(text));

    text.Assign("a\0b", 3);
    EXPECT_EQ(1, text.Length());
    text.Assign("abcdef", 3);
    EXPECT_EQ("abc", Str(text));
    text.Empty();
    EXPECT_EQ(-1, text.Length());
}

TEST(TextBuffer, FormatIsBoundedAndRefusesWhatDoesNotFit) {
    TextBuffer text("old");
    EXPECT_EQ(0, text.Format(nullptr));
    EXPECT_EQ("old", Str(text));

    EXPECT_EQ(1, text.Format("%s %s:%d\r\n", "GET", "h", 80));
    EXPECT_EQ("GET h:80\r\n", Str(text));
    EXPECT_EQ(1, text.Format("%s", ""));
    EXPECT_EQ(-1, text.Length());

    const int largest = TextBuffer::kFormatBufferSize - 1;
    std::string fits(static_cast<size_t>(largest), 'x');
    EXPECT_EQ(1, text.Format("%s", fits.c_str()));
    EXPECT_EQ(largest, text.Length());
    EXPECT_EQ(0, text.Format("%s!", fits.c_str()));
    EXPECT_EQ(nullptr, text.CStr());
    std::string huge(100000, 'y');
    EXPECT_EQ(0, text.Format("GET %s HTTP/1.0\r\n", huge.c_str()));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(TextBuffer, ComparisonsFollowTheirOwnRules) {
    TextBuffer text("abc");
    EXPECT_EQ(0, text.Compare("abc"));
    EXPECT_TRUE(text == "abc");
    EXPECT_EQ(-1, text.Compare("abd"));
    EXPECT_EQ(1, text.Compare("ab"));
    EXPECT_EQ(1, text.Compare("ABC"));

    // A double-byte character orders after any single byte.
    TextBuffer korean(kGa);
    EXPECT_EQ(0, korean.Compare(kGa));
    EXPECT_EQ(1, korean.Compare("\x7F"));
    EXPECT_EQ(1, korean.Compare("\xB0"));

    EXPECT_EQ(0, text.CompareNoCase("ABC"));
    EXPECT_EQ('c' - 'd', text.CompareNoCase("ABD"));
    EXPECT_EQ('c', text.CompareNoCase("AB"));
    // Bytes of 128 and above are negative in the difference.
    TextBuffer a("a");
    EXPECT_EQ('a' - static_cast<signed char>('\xB0'), a.CompareNoCase("\xB0"));
    EXPECT_EQ(0, text.CompareNoCase(text.CStr()));
}

TEST(TextBuffer, FindNeverMatchesInsideDoubleByteCharacters) {
    TextBuffer text(kLeadWithAsciiTrail);
    text.Append("A/B");
    EXPECT_EQ(2, text.Find('A'));
    EXPECT_EQ(-1, TextBuffer(kLeadWithAsciiTrail).Find('A'));
    EXPECT_EQ(2, text.Find("A/"));
    EXPECT_EQ(-1, TextBuffer("\x81"
                             "AB")
                      .Find("AB"));
    EXPECT_EQ(0, text.Find(kLeadWithAsciiTrail));
    EXPECT_EQ(-1, text.Find(""));
    EXPECT_EQ(-1, text.Find('z'));
    // ReverseFind and Count are byte-wise.
    EXPECT_EQ(2, text.ReverseFind('A'));
    EXPECT_EQ(1, TextBuffer(kLeadWithAsciiTrail).ReverseFind('A'));
    EXPECT_EQ(2, text.Count('A'));
    EXPECT_EQ(0, text.Count('z'));
    // A lead byte at the very end stands alone.
    EXPECT_EQ(1, TextBuffer("a\x81").Find('\x81'));
}

TEST(TextBuffer, MidLeftRightStopShortOfTheWholeText) {
    TextBuffer text("abcdef");
    EXPECT_EQ("cde", Str(text.Mid(2, 3)));
    EXPECT_EQ("ef", Str(text.Mid(4, 100)));
    EXPECT_EQ("def", Str(text.Mid(3)));
    EXPECT_EQ("abcdef", Str(text.Mid(0)));
    EXPECT_EQ("<empty>", Str(text.Mid(-1, 2)));
    EXPECT_EQ("<empty>", Str(text.Mid(2, 0)));
    EXPECT_EQ("<empty>", Str(text.Mid(6)));
    EXPECT_EQ("<empty>", Str(TextBuffer().Mid(0, 1)));

    EXPECT_EQ("abcde", Str(text.Left(5)));
    EXPECT_EQ("<empty>", Str(text.Left(text.Length())));
    EXPECT_EQ("<empty>", Str(text.Left(0)));
    EXPECT_EQ("<empty>", Str(text.Left(-3)));
    EXPECT_EQ("bcdef", Str(text.Right(5)));
    EXPECT_EQ("<empty>", Str(text.Right(text.Length())));
    EXPECT_EQ("<empty>", Str(text.Right(0)));
    EXPECT_EQ("<empty>", Str(TextBuffer().Left(-1)));
}

TEST(TextBuffer, TrimAndCaseWorkOnBytes) {
    TextBuffer text("\t\x01 a b \r\n");
    text.TrimLeft();
    EXPECT_EQ("a b \r\n", Str(text));
    text.TrimRight();
    EXPECT_EQ("a b", Str(text));
    TextBuffer blanks(" \x01\x20\t");
    blanks.TrimRight();
    EXPECT_EQ(nullptr, blanks.CStr());
    TextBuffer high(" \xA0\xA1 ");
    high.TrimLeft();
    high.TrimRight();
    EXPECT_EQ("\xA0\xA1", Str(high));
    TextBuffer one("x");
    one.TrimLeft();
    one.TrimRight();
    EXPECT_EQ("x", Str(one));

    TextBuffer mixed("AbC\x81\x41Z");
    mixed.MakeLower();
    EXPECT_EQ("abc\x81\x61z", Str(mixed));

    EXPECT_TRUE(TextBuffer("0123").IsAllDigits());
    EXPECT_FALSE(TextBuffer("12a").IsAllDigits());
    EXPECT_FALSE(TextBuffer("-1").IsAllDigits());
    EXPECT_TRUE(TextBuffer("ab\x80").ContainsNonAscii());
    EXPECT_FALSE(TextBuffer("ab\x7F").ContainsNonAscii());
}

TEST(TextBuffer, DirectoryAndExtensionOfPaths) {
    EXPECT_EQ("C:\\a\\", Str(TextBuffer("C:\\a\\b/c.txt").DirectoryOf()));
    EXPECT_EQ("a/b/", Str(TextBuffer("a/b/c").DirectoryOf()));
    EXPECT_EQ("<empty>", Str(TextBuffer("abc").DirectoryOf()));
    EXPECT_EQ(".txt", Str(TextBuffer("a.b.txt").ExtensionOf()));
    EXPECT_EQ("<empty>", Str(TextBuffer(".").ExtensionOf()));
    EXPECT_EQ("<empty>", Str(TextBuffer("a.").ExtensionOf()));
    EXPECT_EQ("<empty>", Str(TextBuffer("abc").ExtensionOf()));
}

TEST(TextBuffer, TokenizeSkipsRunsOfDelimiters) {
    TextBuffer text("  GET\t \thttp://h/  HTTP/1.0 ");
    TextBuffer word;
    int pos = 0;
    ASSERT_EQ(1, text.Tokenize(pos, word, "\t "));
    EXPECT_EQ("GET", Str(word));
    EXPECT_EQ(5, pos);
    ASSERT_EQ(1, text.Tokenize(pos, word, "\t "));
    EXPECT_EQ("http://h/", Str(word));
    ASSERT_EQ(1, text.Tokenize(pos, word, "\t "));
    EXPECT_EQ("HTTP/1.0", Str(word));
    // Only delimiters remain: out is cleared.
    EXPECT_EQ(0, text.Tokenize(pos, word, "\t "));
    EXPECT_EQ(nullptr, word.CStr());

    // Out of range or no delimiters: out is left alone.
    word.Assign("kept");
    int at = text.Length();
    EXPECT_EQ(0, text.Tokenize(at, word, " "));
    at = -1;
    EXPECT_EQ(0, text.Tokenize(at, word, " "));
    at = 0;
    EXPECT_EQ(0, text.Tokenize(at, word, ""));
    EXPECT_EQ(0, text.Tokenize(at, word, nullptr));
    EXPECT_EQ(0, TextBuffer().Tokenize(at, word, " "));
    EXPECT_EQ("kept", Str(word));

    TextBuffer lines("a\r\n\r\nb");
    pos = 0;
    int count = 0;
    while (lines.Tokenize(pos, word, "\r\n")) {
        ++count;
    }
    EXPECT_EQ(2, count);
}
