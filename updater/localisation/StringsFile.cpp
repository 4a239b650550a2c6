#include "localisation/StringsFile.h"

#include <algorithm>
#include <cstdint>

#include "core/Utf8.h"

namespace tallowick {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isUnquotedChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-' || c == '$' || c == ':' || c == '+';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One pass over the text, left to right; every read is checked against the end.
class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    std::optional<LanguageTable> read() {
        LanguageTable table;
        std::size_t entries = 0;
        for (;;) {
            if (!skipBlanks())
                return std::nullopt;
            if (atEnd())
                return table;
            if (++entries > kMaxStringsFileEntries)
                return fail("too many entries");
            std::optional<std::string> key = readString();
            if (!key)
                return std::nullopt;
            if (!skipBlanks())
                return std::nullopt;
            std::optional<std::string> value;
            if (peek() == '=') {
                ++m_pos;
                if (!skipBlanks())
                    return std::nullopt;
                value = readString();
                if (!value)
                    return std::nullopt;
                if (!skipBlanks())
                    return std::nullopt;
            } else {
                value = *key;
            }
            if (peek() != ';')
                return fail(atEnd() ? "missing ';' at the end" : "expected ';' or '='");
            ++m_pos;
            table.insert_or_assign(std::move(*key), std::move(*value));
        }
    }

    StringsFileError error() const { return m_error; }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    // The byte at the position, or zero at the end (zero never occurs inside the text).
    char peek(std::size_t ahead = 0) const {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0';
    }

    std::nullopt_t fail(const char* reason) {
        const auto upTo = m_text.substr(0, std::min(m_pos, m_text.size()));
        m_error.line = 1 + static_cast<std::size_t>(std::count(upTo.begin(), upTo.end(), '\n'));
        m_error.reason = reason;
        return std::nullopt;
    }

    // Skips white space and comments; false for a comment without its end.
    bool skipBlanks() {
        for (;;) {
            while (!atEnd() && isSpace(peek()))
                ++m_pos;
            if (peek() == '/' && peek(1) == '/') {
                while (!atEnd() && peek() != '\n')
                    ++m_pos;
            } else if (peek() == '/' && peek(1) == '*') {
                const std::size_t close = m_text.find("*/", m_pos + 2);
                if (close == std::string_view::npos) {
                    fail("comment without its end");
                    return false;
                }
                m_pos = close + 2;
            } else {
                return true;
            }
        }
    }

    std::optional<std::string> readString() {
        if (peek() == '"')
            return readQuoted();
        const std::size_t start = m_pos;
        while (!atEnd() && isUnquotedChar(peek()))
            ++m_pos;
        if (m_pos == start)
            return fail(atEnd() ? "unexpected end of the text" : "expected a string");
        return std::string(m_text.substr(start, m_pos - start));
    }

    std::optional<std::string> readQuoted() {
        const std::size_t opening = m_pos;
        ++m_pos;
        std::string out;
        for (;;) {
            if (atEnd()) {
                m_pos = opening;
                return fail("string without its closing quote");
            }
            const char c = m_text[m_pos++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd()) {
                m_pos = opening;
                return fail("string without its closing quote");
            }
            if (!readEscape(out))
                return std::nullopt;
        }
    }

    // After a backslash: appends what the escape stands for.
    bool readEscape(std::string& out) {
        const char c = m_text[m_pos++];
        switch (c) {
        case 'n':
            out += '\n';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 'a':
            out += '\a';
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'v':
            out += '\v';
            return true;
        case 'u':
        case 'U':
            return readUnicodeEscape(out);
        default:
            break;
        }
        if (c >= '0' && c <= '7') {
            unsigned value = static_cast<unsigned>(c - '0');
            for (int i = 0; i < 2 && peek() >= '0' && peek() <= '7'; ++i)
                value = value * 8 + static_cast<unsigned>(m_text[m_pos++] - '0');
            if (value == 0 || value > 0x7F) {
                fail("octal escape outside 1 to 127");
                return false;
            }
            out += static_cast<char>(value);
            return true;
        }
        // \" \' \\ and any other character stand for themselves.
        out += c;
        return true;
    }

    std::optional<std::uint32_t> readHexUnit() {
        std::uint32_t value = 0;
        int digits = 0;
        while (digits < 4 && hexDigit(peek()) >= 0) {
            value = value * 16 + static_cast<std::uint32_t>(hexDigit(m_text[m_pos++]));
            ++digits;
        }
        if (digits == 0) {
            fail("\\U escape without hex digits");
            return std::nullopt;
        }
        return value;
    }

    bool readUnicodeEscape(std::string& out) {
        const std::optional<std::uint32_t> unit = readHexUnit();
        if (!unit)
            return false;
        std::uint32_t cp = *unit;
        if (cp >= 0xDC00 && cp <= 0xDFFF) {
            fail("\\U escape of a lone low surrogate");
            return false;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (peek() != '\\' || (peek(1) != 'U' && peek(1) != 'u')) {
                fail("\\U escape of a high surrogate without its low surrogate");
                return false;
            }
            m_pos += 2;
            const std::optional<std::uint32_t> low = readHexUnit();
            if (!low)
                return false;
            if (*low < 0xDC00 || *low > 0xDFFF) {
                fail("\\U escape of a high surrogate without its low surrogate");
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
        }
        if (cp == 0) {
            fail("\\U escape of the zero character");
            return false;
        }
        appendUtf8(out, cp);
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    StringsFileError m_error;
};

} // namespace

std::optional<LanguageTable> parseStringsFile(std::string_view bytes, StringsFileError* error) {
    auto refuse = [error](const char* reason) -> std::optional<LanguageTable> {
        if (error)
            *error = StringsFileError{0, reason};
        return std::nullopt;
    };
    std::string_view text = bytes.substr(0, bytes.find('\0'));
    if (text.size() > kMaxStringsFileBytes)
        return refuse("text too large");
    if (!isValidUtf8(text))
        return refuse("text is not UTF-8");
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    Reader reader(text);
    std::optional<LanguageTable> table = reader.read();
    if (!table && error)
        *error = reader.error();
    return table;
}

} // namespace tallowick
