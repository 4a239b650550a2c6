#include "core/ClientInfo.h"

#include <cstring>

namespace tallowick {

void setClientInfoField(char (&field)[kClientInfoFieldBytes], std::string_view text) {
    std::memset(field, 0, sizeof field);
    std::size_t length = text.size();
    if (length > kClientInfoFieldBytes - 1) {
        length = kClientInfoFieldBytes - 1;
        // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    // A zero byte inside the value ends the text, as it would for the agent.
    const std::size_t zero = text.substr(0, length).find('\0');
    if (zero != std::string_view::npos)
        length = zero;
    std::memcpy(field, text.data(), length);
}

_CLIENT_INFO copyClientInfo(const _CLIENT_INFO& info) {
    _CLIENT_INFO copy;
    std::memset(&copy, 0, sizeof copy);
    auto copyField = [](char(&to)[kClientInfoFieldBytes],
                        const char(&from)[kClientInfoFieldBytes]) {
        const std::size_t n = strnlen(from, kClientInfoFieldBytes - 1);
        std::memcpy(to, from, n);
        to[n] = '\0';
    };
    copyField(copy.OS, info.OS);
    copyField(copy.DeviceType, info.DeviceType);
    copyField(copy.UIVersion, info.UIVersion);
    copyField(copy.FWVersion, info.FWVersion);
    copyField(copy.UnsignedID, info.UnsignedID);
    copyField(copy.ClientGroup, info.ClientGroup);
    copyField(copy.Language, info.Language);
    copyField(copy.ExternPara, info.ExternPara);
    return copy;
}

} // namespace tallowick
