#pragma once
// Property-list values as the program sees them: strings, numbers, booleans, dates, data,
// arrays and dictionaries, with the conversions that Foundation gives string and number
// values (intValue, doubleValue, boolValue). Dictionaries keep their insertion order, so a
// document read and written again keeps its entries in place.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tallowick::plist {

class Value;
using Array = std::vector<Value>;

struct Data {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Data&) const = default;
};

struct Date {
    double secondsSince2001 = 0; // the reference date of property lists
    bool operator==(const Date&) const = default;
};

class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Replaces the value of an existing key in place, or appends a new entry.
    void set(std::string key, Value value);
    bool erase(std::string_view key);
    void clear();

    std::size_t size() const;
    bool empty() const;
    using const_iterator = std::vector<Entry>::const_iterator;
    using iterator = std::vector<Entry>::iterator;
    const_iterator begin() const;
    const_iterator end() const;
    iterator begin();
    iterator end();

    // Foundation-style reads: a missing key reads as 0, 0.0, false or "".
    int intValue(std::string_view key) const;
    double doubleValue(std::string_view key) const;
    bool boolValue(std::string_view key) const;
    std::string stringValue(std::string_view key) const;

    bool operator==(const Dictionary& other) const;

private:
    std::vector<Entry> m_entries;
};

class Value {
public:
    using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, Data,
                                 Date, Array, Dictionary>;

    Value() = default;
    Value(bool b) : m_v(b) {}
    Value(int i) : m_v(std::int64_t{i}) {}
    Value(std::int64_t i) : m_v(i) {}
    Value(double d) : m_v(d) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(std::string_view s) : m_v(std::string(s)) {}
    Value(Data d) : m_v(std::move(d)) {}
    Value(Date d) : m_v(d) {}
    Value(Array a) : m_v(std::move(a)) {}
    Value(Dictionary d) : m_v(std::move(d)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_v); }
    bool isBool() const { return std::holds_alternative<bool>(m_v); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(m_v); }
    bool isReal() const { return std::holds_alternative<double>(m_v); }
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return std::holds_alternative<std::string>(m_v); }
    bool isData() const { return std::holds_alternative<Data>(m_v); }
    bool isDate() const { return std::holds_alternative<Date>(m_v); }
    bool isArray() const { return std::holds_alternative<Array>(m_v); }
    bool isDictionary() const { return std::holds_alternative<Dictionary>(m_v); }

    const std::string* asString() const { return std::get_if<std::string>(&m_v); }
    const Array* asArray() const { return std::get_if<Array>(&m_v); }
    Array* asArray() { return std::get_if<Array>(&m_v); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&m_v); }
    Dictionary* asDictionary() { return std::get_if<Dictionary>(&m_v); }
    const Data* asData() const { return std::get_if<Data>(&m_v); }

    // Conversions as Foundation does them on strings and numbers; other kinds give 0/false.
    int intValue() const;
    std::int64_t longLongValue() const;
    double doubleValue() const;
    bool boolValue() const;
    // The text of a string; numbers and booleans give their description; others "".
    std::string stringValue() const;

    const Storage& storage() const { return m_v; }
    bool operator==(const Value& other) const { return m_v == other.m_v; }

private:
    Storage m_v;
};

// Defined here, where Value is complete.
inline void Dictionary::clear() {
    m_entries.clear();
}
inline std::size_t Dictionary::size() const {
    return m_entries.size();
}
inline bool Dictionary::empty() const {
    return m_entries.empty();
}
inline Dictionary::const_iterator Dictionary::begin() const {
    return m_entries.begin();
}
inline Dictionary::const_iterator Dictionary::end() const {
    return m_entries.end();
}
inline Dictionary::iterator Dictionary::begin() {
    return m_entries.begin();
}
inline Dictionary::iterator Dictionary::end() {
    return m_entries.end();
}

// Foundation's string conversions, usable on any text.
int stringIntValue(std::string_view text);
std::int64_t stringLongLongValue(std::string_view text);
double stringDoubleValue(std::string_view text);
bool stringBoolValue(std::string_view text);

// Codec over libplist: XML or binary in, XML out. parse() takes both and is for local files;
// parseXml() takes XML only and is for what arrives from other programs: libplist's binary
// reader stops the process on some malformed input (an assertion), its XML reader does not.
std::optional<Value> parse(std::string_view bytes);
std::optional<Value> parseXml(std::string_view bytes);
std::string toXml(const Value& value);

} // namespace tallowick::plist
