#include <gtest/gtest.h>

#include <cstring>

#include "core/ClientInfo.h"

using tallowick::setClientInfoField;

TEST(ClientInfo, FieldsHoldAtMost63BytesCutAtACharacterBoundary) {
    struct Case {
        std::string input;
        std::string stored;
    };
    const std::string e9 = "\xC3\xA9";      // é, two bytes
    const std::string han = "\xE4\xB8\xAD"; // 中, three bytes
    const Case cases[] = {
        {"", ""},
        {std::string(63, 'a'), std::string(63, 'a')},
        {std::string(64, 'a'), std::string(63, 'a')},
        {std::string(200, 'b'), std::string(63, 'b')},
        {std::string(62, 'a') + e9, std::string(62, 'a')},      // é would need bytes 62-63
        {std::string(61, 'a') + e9, std::string(61, 'a') + e9}, // fits exactly
        {std::string(61, 'a') + han, std::string(61, 'a')},
        {std::string(60, 'a') + han + "z", std::string(60, 'a') + han},
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const auto& c : cases) {
        char field[64];
        std::memset(field, 'X', sizeof field);
        setClientInfoField(field, c.input);
        EXPECT_EQ(std::string(field), c.stored) << c.input.size();
        for (std::size_t i = c.stored.size(); i < sizeof field; ++i)
            ASSERT_EQ(field[i], '\0') << "byte " << i << " after the text is not zero";
    }
}

TEST(ClientInfo, CopyKeepsEachFieldText) {
    _CLIENT_INFO info;
    std::memset(&info, 0, sizeof info);
    setClientInfoField(info.OS, "Linux");
    setClientInfoField(info.ExternPara, std::string(63, 'x'));
    const _CLIENT_INFO copy = tallowick::copyClientInfo(info);
    EXPECT_STREQ(copy.OS, "Linux");
    EXPECT_EQ(std::string(copy.ExternPara), std::string(63, 'x'));
    EXPECT_EQ(copy.DeviceType[0], '\0');
}
