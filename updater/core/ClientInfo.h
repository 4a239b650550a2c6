#pragma once
// The client information record that goes to the update agent with every check request:
// eight zero-terminated texts of at most 63 bytes in 64-byte fields.

#include <cstddef>
#include <cstdint>
#include <string_view>

struct _CLIENT_INFO {
    char OS[64];
    char DeviceType[64];
    char UIVersion[64];
    char FWVersion[64];
    char UnsignedID[64];
    char ClientGroup[64];
    char Language[64];
    char ExternPara[64];
};

static_assert(sizeof(_CLIENT_INFO) == 512, "the agent reads a 512-byte record");
static_assert(offsetof(_CLIENT_INFO, OS) == 0);
static_assert(offsetof(_CLIENT_INFO, DeviceType) == 64);
static_assert(offsetof(_CLIENT_INFO, UIVersion) == 128);
static_assert(offsetof(_CLIENT_INFO, FWVersion) == 192);
static_assert(offsetof(_CLIENT_INFO, UnsignedID) == 256);
static_assert(offsetof(_CLIENT_INFO, ClientGroup) == 320);
static_assert(offsetof(_CLIENT_INFO, Language) == 384);
static_assert(offsetof(_CLIENT_INFO, ExternPara) == 448);

namespace tallowick {

inline constexpr std::size_t kClientInfoFieldBytes = 64;

// Copies text into a 64-byte field, zero-filling it first. Text over 63 bytes is cut at the
// last UTF-8 character boundary that fits, so the agent never sees half a character.
void setClientInfoField(char (&field)[kClientInfoFieldBytes], std::string_view text);

// A copy that copies each field's text up to and including its terminator.
_CLIENT_INFO copyClientInfo(const _CLIENT_INFO& info);

} // namespace tallowick
