#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "localisation/StringsFile.h"

namespace tallowick {
namespace {

std::string readData(const std::string& name) {
    std::ifstream in(std::string(TALLOWICK_TEST_DATA) + "/lang/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(StringsFile, ReadsEscapesCommentsUnquotedStringsAndShorthand) {
    const std::optional<LanguageTable> table = parseStringsFile(readData("escapes.strings"));
    ASSERT_TRUE(table);
    const LanguageTable expected{
        {"newline", "one\ntwo"},
        {"tab", "a\tb"},
        {"return", "a\rb"},
        {"quote", "say \"hi\""},
        {"backslash", "back\\slash"},
        {"apostrophe", "it's"},
        {"e acute", "caf\xC3\xA9"},
        {"lower u", "caf\xC3\xA9"},
        {"short hex", "A"},
        {"euro", "\xE2\x82\xAC"},
        {"treble clef", "\xF0\x9D\x84\x9E"},
        {"octal", "ABC"},
        {"other escape", "q"},
        {"raw utf-8", "Gr\xC3\xB6\xC3\x9F"
                      "e \xE5\xA4\xA7\xE5\xB0\x8F"},
        {"multi\nline", "first line\nsecond line"},
        {"unquoted.key-1", "value_2"},
        {"shorthand", "shorthand"},
        {"", "empty key"},
        {"spaced", "tabs"},
        {"packed", "entries"},
        {"repeated", "second"},
    };
    EXPECT_EQ(*table, expected);
}

TEST(StringsFile, ReadsTextsWithoutEntries) {
    for (const char* text : {"", " \n\t ", "// only a comment", "/* only */ /* comments */"}) {
        const std::optional<LanguageTable> table = parseStringsFile(text);
        ASSERT_TRUE(table) << text;
        EXPECT_TRUE(table->empty()) << text;
    }
}

TEST(StringsFile, TextEndsAtTheFirstZeroByte) {
    const std::optional<LanguageTable> table = parseStringsFile(readData("zero-byte.strings"));
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, (LanguageTable{{"Language", "Cut"}, {"CM_UPDATER_STR_OK", "Cut OK"}}));

    // Cut inside a string, the rest of the text is an unterminated string.
    EXPECT_FALSE(parseStringsFile(readData("zero-byte-in-string.strings")));
}

TEST(StringsFile, SkipsALeadingByteOrderMark) {
    const std::optional<LanguageTable> table = parseStringsFile(readData("bom.strings"));
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, (LanguageTable{{"Language", "With a byte-order mark"}}));
}

TEST(StringsFile, RefusesTextThatIsNotUtf8) {
    EXPECT_FALSE(parseStringsFile(readData("latin1.strings")));
    EXPECT_FALSE(parseStringsFile(readData("utf16.strings")));

    const char* const invalid[] = {
        "\x80",             // continuation byte without a lead
        "\xC0\xAF",         // overlong '/'
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xED\xA0\x80",     // surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xE4\xB8",         // cut short
        "\xFF",
    };
    for (const char* bytes : invalid) {
        const std::string text = std::string("\"a\" = \"") + bytes + "\";";
        EXPECT_FALSE(parseStringsFile(text)) << text;
    }
    const std::optional<LanguageTable> valid =
        parseStringsFile("\"a\" = \"\xF0\x9F\x98\x80 \xEF\xBF\xBF \xC2\x80\";");
    ASSERT_TRUE(valid);
    EXPECT_EQ(valid->at("a"), "\xF0\x9F\x98\x80 \xEF\xBF\xBF \xC2\x80");
}

TEST(StringsFile, RefusesMalformedEntries) {
    const char* const malformed[] = {
        R"("a" = "b")",      // no semicolon at the end
        R"("a" = ;)",        // no value
        R"("a" "b";)",       // no equals sign
        R"(= "b";)",         // no key
        R"("a" = "b" "c";)", // two values
        R"("a" == "b";)",
        R"(;)",
        "\"a\" = \"open;\n\"b\" = \"c\";", // a missing quote runs two entries together
        R"("a" = "b"; /* open comment)",
        "\"a\" = \"b\\",     // backslash at the end of the text
        R"({ "a" = "b"; })", // a dictionary is not a strings file
        R"(("a"))",
        R"("a" = ("b");)",
        R"(a b;)",
        "\"a\" = caf\xC3\xA9;",     // unquoted strings are ASCII
        R"("a" = "\U";)",           // \U without hex digits
        R"("a" = "\UD800";)",       // high surrogate alone
        R"("a" = "\UD800\U0041";)", // high surrogate followed by a plain character
        R"("a" = "\UD800\n";)",
        R"("a" = "\UDC00";)", // low surrogate alone
        R"("a" = "\U0000";)", // the zero character
        R"("a" = "\0";)",
        R"("a" = "\200";)", // octal beyond ASCII
    };
    for (const char* text : malformed)
        EXPECT_FALSE(parseStringsFile(text)) << text;
}

TEST(StringsFile, ReportsWhereTheTextWentWrong) {
    StringsFileError error;
    EXPECT_FALSE(parseStringsFile(readData("broken.strings"), &error));
    // The value that lacks its closing quote runs on to the next quote, on line 4, where the
    // entry then fails.
    EXPECT_EQ(error.line, 4u);
    EXPECT_FALSE(error.reason.empty());

    EXPECT_FALSE(parseStringsFile(readData("latin1.strings"), &error));
    EXPECT_EQ(error.line, 0u);
}

TEST(StringsFile, HostileTextsAreRefusedWithinBounds) {
    const std::size_t big = 400 * 1024;
    const std::string hostile[] = {
        std::string(big, '{'),
        std::string(big, '('),
        std::string(big, '"'),
        "\"a\" = \"" + std::string(big, '\\'),
        "\"a\" = \"" + std::string(big, '\\') + "\\",
        "/*" + std::string(big, '*'),
        [&] {
            std::string s;
            while (s.size() < big)
                s += "/* */ \"k\" = \"\\UD800";
            return s;
        }(),
        [&] {
            std::string s;
            while (s.size() < big)
                s += "\"a\" = \"b\"; ";
            return s + "\"";
        }(),
        std::string(kMaxStringsFileBytes + 1, ' '),
        [] {
            std::string s;
            for (std::size_t i = 0; i <= kMaxStringsFileEntries; ++i)
                s += "k" + std::to_string(i) + ";";
            return s;
        }(),
    };
    for (const std::string& text : hostile)
        EXPECT_FALSE(parseStringsFile(text)) << text.substr(0, 40);

    // Large but well-formed texts within the bounds are read.
    const std::string longValue(kMaxStringsFileBytes - 16, 'x');
    const std::optional<LanguageTable> table = parseStringsFile("\"k\" = \"" + longValue + "\";");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("k").size(), longValue.size());
}

} // namespace
} // namespace tallowick
