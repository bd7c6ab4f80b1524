#include "base/text_buffer.h"

#include "test_support.h"

// The empty text is no block: its length is -1 and it equals nothing, not even "".
TEST(TextBuffer, EmptyTextCopiesAndFormat) {
    for (const TextBuffer& empty : {TextBuffer(), TextBuffer(""), TextBuffer(nullptr)}) {
        EXPECT_EQ(nullptr, empty.CStr());
        EXPECT_EQ("1 0 0 -1 -1 -1 -1 -1 -1 -1 0 0",
                  Numbers(empty.IsEmpty(), empty.CharAt(-2), empty == "", empty.Compare("a"),
                          empty.CompareNoCase(nullptr), empty.Length(), empty.Count('a'),
                          empty.Find('a'), empty.Find("a"), empty.ReverseFind('a'),
                          empty.IsAllDigits(), empty.ContainsNonAscii()));
    }
    TextBuffer text("ab");
    text.Append(text);
    text.Append(nullptr);
    text.Append("");
    text.AppendChar('\0');
    text.AppendChar('!');
    TextBuffer copy(text);
    copy.MakeLower();
    EXPECT_NE(text.CStr(), copy.CStr());
    EXPECT_EQ("abab! 5", Str(text) + " " + std::to_string(text.Length()));
    text.Assign("a\0b", 3);
    EXPECT_EQ("a", Str(text));
    text.Assign("\0b", 2);
    EXPECT_EQ(nullptr, text.CStr());
    // A result that does not fit the scratch buffer is refused, never cut.
    const std::string largest(TextBuffer::kFormatBufferSize - 1, 'x');
    EXPECT_EQ(1, text.Format("%s", largest.c_str()));
    EXPECT_EQ("8095 1", Numbers(text.Length(), TextBuffer("%").Format("%s", "")));
    EXPECT_EQ(0, text.Format("%s!", largest.c_str()));
    EXPECT_EQ(nullptr, text.CStr());
}

// A double-byte character orders after any single byte; bytes from 128 on are negative
// to CompareNoCase; a search never matches a trail byte ("\x81" leads, "\x41" trails).
TEST(TextBuffer, ComparisonsAndSearches) {
    // {text, other, "Compare CompareNoCase Find(other) Find(other[0])"}
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"abc", "ab", "1 99 0 0"},
        {"abc", "ABD", "1 -1 -1 -1"},
        {"abc", "c", "-1 -2 2 2"},
        {"\xB0\xA1", "\x7F", "1 -207 -1 -1"},
        {"\xB0\xA1", "\xB0", "1 -95 0 0"},
        {"\x81\x41\x41/B", "A/", "1 -224 2 2"},
        {"\x81\x41\x42", "AB", "1 -224 -1 -1"},
        {"a\x81", "\x81", "-1 224 1 1"}};
    for (const auto& [text, other, expected] : rows) {
        TextBuffer t(text);
        EXPECT_EQ(expected, Numbers(t.Compare(other), t.CompareNoCase(other), t.Find(other),
                                    t.Find(other[0])));
    }
    // ReverseFind and Count go byte by byte.
    TextBuffer text("\x81\x41\x41/\x41");
    EXPECT_EQ("-1 4 3", Numbers(text.Find(""), text.ReverseFind('A'), text.Count('A')));
}

// A part is never an empty block: "" stands for the empty text.
TEST(TextBuffer, PartsAndBytes) {
    const TextBuffer text("abcdef");
    std::string joined;
    for (const TextBuffer& part :
         {text.Mid(2, 3), text.Mid(4, 100), text.Mid(0), text.Mid(-1, 2), text.Mid(2, 0),
          text.Mid(6), text.Left(5), text.Left(6), text.Right(5), text.Right(6), text.Right(0),
          TextBuffer("C:\\a\\b/c.txt").DirectoryOf(), TextBuffer("/c").DirectoryOf(),
          TextBuffer("a.b.txt").ExtensionOf(), TextBuffer("a.").ExtensionOf()}) {
        joined += Str(part) + "|";
        EXPECT_NE(0, part.Length());
    }
    EXPECT_EQ("cde|ef|abcdef||||abcde||bcdef|||C:\\a\\|/|.txt||", joined);
    // Blanks are the bytes 1 to 32; case and digits are ASCII only.
    TextBuffer left("\t\x01 a \xA0 \x20!"), right(left), lower("AbZ\x81\x41@["), blanks(" \x01\t");
    left.TrimLeft();
    right.TrimRight();
    lower.MakeLower();
    blanks.TrimRight();
    EXPECT_EQ("a \xA0  !|\t\x01 a \xA0  !|abz\x81\x61@[|",
              Str(left) + "|" + Str(right) + "|" + Str(lower) + "|" + Str(blanks));
    EXPECT_EQ("1 0 0 1 0",
              Numbers(TextBuffer("0129").IsAllDigits(), TextBuffer("/").IsAllDigits(),
                      TextBuffer(":").IsAllDigits(), TextBuffer("a\x80").ContainsNonAscii(),
                      TextBuffer("a\x7F").ContainsNonAscii()));
}
