#include "Settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>

namespace tallowick::agent {

namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<long long> parseInteger(std::string_view text, long long low, long long high) {
    long long n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < low || n > high)
        return std::nullopt;
    return n;
}

std::optional<bool> parseBool(std::string_view text) {
    const std::string v = lower(text);
    if (v == "true" || v == "yes" || v == "on" || v == "1")
        return true;
    if (v == "false" || v == "no" || v == "off" || v == "0")
        return false;
    return std::nullopt;
}

using Setter = std::function<bool(std::string_view)>;

Setter boolean(bool& field) {
    return [&field](std::string_view v) {
        const auto b = parseBool(v);
        if (b)
            field = *b;
        return b.has_value();
    };
}

Setter integer(int& field, long long low, long long high) {
    return [&field, low, high](std::string_view v) {
        const auto n = parseInteger(v, low, high);
        if (n)
            field = static_cast<int>(*n);
        return n.has_value();
    };
}

// An empty value switches the fault off.
Setter optionalInteger(std::optional<int>& field, long long low, long long high) {
    return [&field, low, high](std::string_view v) {
        if (v.empty()) {
            field.reset();
            return true;
        }
        const auto n = parseInteger(v, low, high);
        if (n)
            field = static_cast<int>(*n);
        return n.has_value();
    };
}

Setter textField(std::string& field) {
    return [&field](std::string_view v) {
        field = std::string(v);
        return true;
    };
}

Setter byteCount(std::size_t& field, long long low, long long high) {
    return [&field, low, high](std::string_view v) {
        const auto n = parseInteger(v, low, high);
        if (n)
            field = static_cast<std::size_t>(*n);
        return n.has_value();
    };
}

} // namespace

Settings parseSettings(std::string_view contents) {
    Settings s;
    constexpr long long kMaxMs = 10 * 60 * 1000;
    constexpr long long kAnyState = 1000000;
    Faults& f = s.faults;
    const std::map<std::string, Setter> setters = {
        {"server.location", textField(s.location)},
        {"download.chunkbytes", byteCount(s.chunkBytes, 1, 16 * 1024 * 1024)},
        {"log.journal", textField(s.journal)},
        {"faults.neverreport", boolean(f.neverReport)},
        {"faults.newversionbeforestates", boolean(f.newVersionBeforeStates)},
        {"faults.checkflag", optionalInteger(f.checkFlag, -kAnyState, kAnyState)},
        {"faults.checkerrmsg", textField(f.checkErrMsg)},
        {"faults.checkdelayms", integer(f.checkDelayMs, 0, kMaxMs)},
        {"faults.finalstate", optionalInteger(f.finalState, -kAnyState, kAnyState)},
        {"faults.missingdescription", boolean(f.missingDescription)},
        {"faults.faildownloadatpercent", optionalInteger(f.failDownloadAtPercent, 0, 100)},
        {"faults.slowchunkms", integer(f.slowChunkMs, 0, kMaxMs)},
        {"faults.callbackstorm", integer(f.callbackStorm, 0, 1000000)},
        {"faults.repeatdownloadfinished", integer(f.repeatDownloadFinished, 0, 1000)},
        {"faults.reportdownloadstates", boolean(f.reportDownloadStates)},
    };

    std::string section;
    std::size_t lineNumber = 0;
    for (std::size_t pos = 0; pos < contents.size();) {
        ++lineNumber;
        const std::size_t eol = std::min(contents.find('\n', pos), contents.size());
        const std::string_view line = trim(contents.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (line.front() == '[') {
            if (line.back() != ']') {
                s.problems.push_back(where + "a section header without its closing bracket");
                section = "?";
            } else {
                section = lower(trim(line.substr(1, line.size() - 2)));
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            s.problems.push_back(where + "not a Key=Value line");
            continue;
        }
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value = trim(line.substr(eq + 1));
        const auto it = setters.find(section + "." + lower(key));
        if (it == setters.end())
            s.problems.push_back(where + "unknown setting [" + section + "] " + std::string(key));
        else if (!it->second(value))
            s.problems.push_back(where + "bad value \"" + std::string(value) + "\" for " +
                                 std::string(key));
    }
    return s;
}

} // namespace tallowick::agent
