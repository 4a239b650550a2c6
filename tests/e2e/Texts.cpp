#include "Texts.h"

#include <fstream>
#include <sstream>

#include "localisation/StringsFile.h"
#include "platform/headless/Trace.h"

namespace tallowick::test {

std::string en(const std::string& key) {
    static const LanguageTable table = [] {
        std::ifstream in(TALLOWICK_TEST_RESOURCES "/lang/en.strings", std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return parseStringsFile(s.str()).value_or(LanguageTable{});
    }();
    const auto it = table.find(key);
    return it == table.end() ? key : it->second;
}

std::string literal(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

std::string shows(const std::string& field, const std::string& text) {
    return "^" + field + " text=" + literal(platform::Trace::quote(text)) + "$";
}

} // namespace tallowick::test
