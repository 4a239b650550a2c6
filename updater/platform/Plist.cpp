#include "platform/Plist.h"

#include <plist/plist.h>

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tallowick::plist {

// ---- Dictionary ------------------------------------------------------------------------

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries)
        set(e.first, e.second);
}

const Value* Dictionary::find(std::string_view key) const {
    for (const auto& e : m_entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    for (auto& e : m_entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    m_entries.emplace_back(std::move(key), std::move(value));
}

bool Dictionary::erase(std::string_view key) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

int Dictionary::intValue(std::string_view key) const {
    const Value* v = find(key);
    return v ? v->intValue() : 0;
}

double Dictionary::doubleValue(std::string_view key) const {
    const Value* v = find(key);
    return v ? v->doubleValue() : 0.0;
}

bool Dictionary::boolValue(std::string_view key) const {
    const Value* v = find(key);
    return v ? v->boolValue() : false;
}

std::string Dictionary::stringValue(std::string_view key) const {
    const Value* v = find(key);
    return v ? v->stringValue() : std::string();
}

// Dictionaries compare as unordered maps, as NSDictionary does.
bool Dictionary::operator==(const Dictionary& other) const {
    if (size() != other.size())
        return false;
    for (const auto& e : m_entries) {
        const Value* o = other.find(e.first);
        if (!o || !(*o == e.second))
            return false;
    }
    return true;
}

// ---- Foundation string conversions -------------------------------------------------------

namespace {

std::string_view skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

} // namespace

std::int64_t stringLongLongValue(std::string_view text) {
    std::string_view s = skipSpace(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Accumulate towards the sign so that the minimum value is reachable; saturate.
    std::int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (negative) {
            if (value < (LLONG_MIN + digit) / 10)
                return LLONG_MIN;
            value = value * 10 - digit;
        } else {
            if (value > (LLONG_MAX - digit) / 10)
                return LLONG_MAX;
            value = value * 10 + digit;
        }
    }
    return value;
}

int stringIntValue(std::string_view text) {
    const std::int64_t v = stringLongLongValue(text);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

double stringDoubleValue(std::string_view text) {
    const std::string s(skipSpace(text));
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (end == s.c_str())
        return 0.0;
    return d;
}

bool stringBoolValue(std::string_view text) {
    std::string_view s = skipSpace(text);
    if (!s.empty() && (s[0] == '+' || s[0] == '-'))
        s.remove_prefix(1);
    while (!s.empty() && s[0] == '0')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    const char c = s[0];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// ---- Value conversions --------------------------------------------------------------------

namespace {

std::int64_t clampToLong(double d) {
    if (std::isnan(d))
        return 0;
    if (d >= 9.2233720368547758e18)
        return LLONG_MAX;
    if (d <= -9.2233720368547758e18)
        return LLONG_MIN;
    return static_cast<std::int64_t>(d);
}

} // namespace

std::int64_t Value::longLongValue() const {
    if (const auto* b = std::get_if<bool>(&m_v))
        return *b ? 1 : 0;
    if (const auto* i = std::get_if<std::int64_t>(&m_v))
        return *i;
    if (const auto* d = std::get_if<double>(&m_v))
        return clampToLong(*d);
    if (const auto* s = std::get_if<std::string>(&m_v))
        return stringLongLongValue(*s);
    return 0;
}

int Value::intValue() const {
    if (const auto* s = std::get_if<std::string>(&m_v))
        return stringIntValue(*s);
    // NSNumber's intValue truncates to 32 bits as a C cast would.
    return static_cast<int>(static_cast<std::uint32_t>(longLongValue()));
}

double Value::doubleValue() const {
    if (const auto* b = std::get_if<bool>(&m_v))
        return *b ? 1.0 : 0.0;
    if (const auto* i = std::get_if<std::int64_t>(&m_v))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&m_v))
        return *d;
    if (const auto* s = std::get_if<std::string>(&m_v))
        return stringDoubleValue(*s);
    return 0.0;
}

bool Value::boolValue() const {
    if (const auto* b = std::get_if<bool>(&m_v))
        return *b;
    if (const auto* i = std::get_if<std::int64_t>(&m_v))
        return *i != 0;
    if (const auto* d = std::get_if<double>(&m_v))
        return *d != 0.0;
    if (const auto* s = std::get_if<std::string>(&m_v))
        return stringBoolValue(*s);
    return false;
}

std::string Value::stringValue() const {
    if (const auto* s = std::get_if<std::string>(&m_v))
        return *s;
    if (const auto* b = std::get_if<bool>(&m_v))
        return *b ? "1" : "0";
    if (const auto* i = std::get_if<std::int64_t>(&m_v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&m_v)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", *d);
        return buf;
    }
    return {};
}

// ---- libplist codec -----------------------------------------------------------------------

namespace {

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

constexpr int kMaxDepth = 64;

std::optional<Value> fromNode(plist_t node, int depth) {
    if (!node || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // libplist keeps signed integers in the same node kind, two's complement.
        return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        // A text with a zero byte trips the getter that copies (its length no longer matches
        // the text), so it is read in place and ends at its first zero byte.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return Value(text ? std::string(text, strnlen(text, length)) : std::string());
    }
    case PLIST_KEY: {
        // A stray <key> where a value belongs reads as its text.
        char* s = nullptr;
        plist_get_key_val(node, &s);
        std::string text = s ? s : "";
        std::free(s);
        return Value(std::move(text));
    }
    case PLIST_DATA: {
        char* d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        Data data;
        if (d)
            data.bytes.assign(reinterpret_cast<std::uint8_t*>(d),
                              reinterpret_cast<std::uint8_t*>(d) + len);
        std::free(d);
        return Value(std::move(data));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Value(Date{sec + usec / 1e6});
    }
    case PLIST_ARRAY: {
        Array array;
        const uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Dictionary dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        bool ok = true;
        for (;;) {
            char* key = nullptr;
            plist_t val = nullptr;
            plist_dict_next_item(node, it, &key, &val);
            if (!val) {
                std::free(key);
                break;
            }
            auto item = fromNode(val, depth + 1);
            if (!item) {
                std::free(key);
                ok = false;
                break;
            }
            dict.set(key ? key : "", std::move(*item));
            std::free(key);
        }
        std::free(it);
        if (!ok)
            return std::nullopt;
        return Value(std::move(dict));
    }
    default:
        return std::nullopt;
    }
}

plist_t toNode(const Value& value) {
    struct Visitor {
        plist_t operator()(std::monostate) const { return plist_new_string(""); }
        plist_t operator()(bool b) const { return plist_new_bool(b ? 1 : 0); }
        plist_t operator()(std::int64_t i) const {
            return plist_new_uint(static_cast<uint64_t>(i));
        }
        plist_t operator()(double d) const { return plist_new_real(d); }
        plist_t operator()(const std::string& s) const { return plist_new_string(s.c_str()); }
        plist_t operator()(const Data& d) const {
            return plist_new_data(reinterpret_cast<const char*>(d.bytes.data()), d.bytes.size());
        }
        plist_t operator()(const Date& d) const {
            const double whole = std::floor(d.secondsSince2001);
            return plist_new_date(static_cast<int32_t>(whole),
                                  static_cast<int32_t>((d.secondsSince2001 - whole) * 1e6));
        }
        plist_t operator()(const Array& a) const {
            plist_t node = plist_new_array();
            for (const auto& item : a)
                plist_array_append_item(node, toNode(item));
            return node;
        }
        plist_t operator()(const Dictionary& d) const {
            plist_t node = plist_new_dict();
            for (const auto& [key, item] : d)
                plist_dict_set_item(node, key.c_str(), toNode(item));
            return node;
        }
    };
    return std::visit(Visitor{}, value.storage());
}

} // namespace

std::optional<Value> parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX)
        return std::nullopt;
    plist_t root = nullptr;
    if (plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())))
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    else
        plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    Node owner(root);
    return fromNode(root, 0);
}

std::optional<Value> parseXml(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX ||
        plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return std::nullopt;
    return parse(bytes);
}

std::string toXml(const Value& value) {
    Node node(toNode(value));
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(static_cast<plist_t>(node.get()), &xml, &len);
    std::string out = xml ? std::string(xml, len) : std::string();
    plist_to_xml_free(xml);
    return out;
}

} // namespace tallowick::plist
