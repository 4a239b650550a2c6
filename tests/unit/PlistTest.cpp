#include <gtest/gtest.h>

#include "platform/Plist.h"

using namespace tallowick::plist;

TEST(PlistConversions, FollowFoundationOnStringsAndNumbers) {
    struct Case {
        Value value;
        int intValue;
        double doubleValue;
        bool boolValue;
    };
    const Case cases[] = {
        {Value(42), 42, 42.0, true},
        {Value("42"), 42, 42.0, true},
        {Value("  -7abc"), -7, -7.0, true},
        {Value("abc"), 0, 0.0, false},
        {Value(""), 0, 0.0, false},
        {Value(3.9), 3, 3.9, true},
        {Value(0.0), 0, 0.0, false},
        {Value(true), 1, 1.0, true},
        {Value(false), 0, 0.0, false},
        {Value("YES"), 0, 0.0, true},
        {Value("no"), 0, 0.0, false},
        {Value("true"), 0, 0.0, true},
        {Value("007"), 7, 7.0, true},
        {Value("000"), 0, 0.0, false},
        {Value("99999999999"), 2147483647, 99999999999.0, true},
        {Value("-99999999999"), -2147483647 - 1, -99999999999.0, true},
        {Value("0.5"), 0, 0.5, false},
        {Value(Array{}), 0, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.stringValue());
        EXPECT_EQ(c.value.intValue(), c.intValue);
        EXPECT_DOUBLE_EQ(c.value.doubleValue(), c.doubleValue);
        EXPECT_EQ(c.value.boolValue(), c.boolValue);
    }
}

TEST(PlistConversions, MissingKeysReadAsZero) {
    const Dictionary d{{"A", 1}};
    EXPECT_EQ(d.intValue("missing"), 0);
    EXPECT_EQ(d.doubleValue("missing"), 0.0);
    EXPECT_FALSE(d.boolValue("missing"));
    EXPECT_EQ(d.stringValue("missing"), "");
}

TEST(PlistCodec, RoundTripsEveryKindAndKeepsOrder) {
    const Dictionary original{
        {"zeta", "text with <markup> & \"quotes\""},
        {"alpha", std::int64_t{-5}},
        {"big", std::int64_t{1} << 40},
        {"real", 0.25},
        {"flag", true},
        {"list", Array{Value("a"), Value(2), Value(Dictionary{{"k", "v"}})}},
        {"data", Data{{0, 1, 2, 255}}},
    };
    const auto parsed = parse(toXml(Value(original)));
    ASSERT_TRUE(parsed && parsed->isDictionary());
    EXPECT_EQ(*parsed->asDictionary(), original);
    std::vector<std::string> keys;
    for (const auto& [key, value] : *parsed->asDictionary())
        keys.push_back(key);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"zeta", "alpha", "big", "real", "flag", "list", "data"}));
}

TEST(PlistCodec, RefusesWhatIsNotAPropertyList) {
    for (const char* bytes : {"", "not xml at all", "<plist><dict><key>a</key>", "\x00\x01\x02"})
        EXPECT_FALSE(parse(bytes).has_value()) << bytes;
    const auto array = parse(toXml(Value(Array{Value(1)})));
    ASSERT_TRUE(array);
    EXPECT_FALSE(array->isDictionary());
}

TEST(PlistCodec, ZeroBytesAndStrayKeysDoNotBringTheReaderDown) {
    // Found by fuzzing message frames: libplist's copying getters assert on these.
    const std::string zero =
        std::string("<plist><dict><key>OS</key><string>a") + '\0' + "b</string></dict></plist>";
    const auto parsed = parse(zero);
    ASSERT_TRUE(parsed && parsed->isDictionary());
    EXPECT_EQ(parsed->asDictionary()->stringValue("OS"), "a") << "the text ends at the zero byte";
    EXPECT_NO_FATAL_FAILURE(
        (void)parse("<plist><dict><key>OS</key><string>a&#0;b</string></dict></plist>"));
    EXPECT_NO_FATAL_FAILURE((void)parse("<plist><array><key>a&#0;b</key></array></plist>"));
    const auto key = parse("<plist><array><key>only a key</key></array></plist>");
    ASSERT_TRUE(key && key->asArray() && key->asArray()->size() == 1);
    EXPECT_EQ((*key->asArray())[0].stringValue(), "only a key");
}
