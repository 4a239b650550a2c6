#pragma once
// The English texts of the language keys, as the program shows them, and trace patterns.

#include <string>

namespace tallowick::test {

// The text of a key in the shipped English language file.
std::string en(const std::string& key);
// A regular expression that matches the text literally.
std::string literal(const std::string& text);
// A pattern for a control's trace line showing exactly this text: `m_X text="..."`.
std::string shows(const std::string& field, const std::string& text);

} // namespace tallowick::test
