#pragma once
// The strings-file format of the language files: entries `"key" = "value";`, quoted strings
// with backslash escapes, C and C++ comments between entries. Language files come from
// outside the program, so the reader is strict, bounded and never reads past its input.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tallowick {

using LanguageTable = std::unordered_map<std::string, std::string>;

// Texts larger than this, or with more entries, are refused.
inline constexpr std::size_t kMaxStringsFileBytes = 1024 * 1024;
inline constexpr std::size_t kMaxStringsFileEntries = 16384;

struct StringsFileError {
    std::size_t line = 0; // 1-based; 0 when the text as a whole is refused
    std::string reason;
};

// Reads a strings file. The text ends at the first zero byte; it must be UTF-8 (a leading
// byte-order mark is skipped). The grammar:
//   entry   = string [ "=" string ] ";"      (without a value, the value is the key)
//   string  = quoted | unquoted
//   quoted  = '"' { character | escape } '"'
//   unquoted = one or more of A-Z a-z 0-9 _ . - $ : +
//   escape  = \n \t \r \a \b \f \v \" \' \\, \uXXXX or \UXXXX (one to four hex digits, UTF-16
//             surrogate pairs as two escapes), \ooo (one to three octal digits, 1 to 127);
//             a backslash before any other character stands for that character.
// A later entry with the same key replaces an earlier one. Any error gives no table.
std::optional<LanguageTable> parseStringsFile(std::string_view bytes,
                                              StringsFileError* error = nullptr);

} // namespace tallowick
