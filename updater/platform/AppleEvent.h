#pragma once
// Message events: an event class and ID (four-character codes) and keyword parameters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowick::platform {

using FourCharCode = std::uint32_t;

constexpr FourCharCode fourCharCode(const char (&code)[5]) {
    return (static_cast<FourCharCode>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<FourCharCode>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<FourCharCode>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<FourCharCode>(static_cast<unsigned char>(code[3]));
}
// "GURL" from a text of exactly four bytes; none otherwise.
std::optional<FourCharCode> fourCharCode(std::string_view text);
std::string fourCharText(FourCharCode code);

struct AppleEventParameter {
    FourCharCode keyword = 0;
    FourCharCode descriptorType = 0;
    std::string data;
};

struct AppleEvent {
    FourCharCode eventClass = 0;
    FourCharCode eventID = 0;
    std::vector<AppleEventParameter> parameters;

    // paramDescriptorForKeyword: — the first parameter with this keyword.
    const AppleEventParameter* paramDescriptorForKeyword(FourCharCode keyword) const;
};

// Frames on the message socket: class, ID, parameter count (u32 big-endian), then per
// parameter keyword, descriptor type, data length (u32 big-endian) and the data.
namespace frame {
inline constexpr std::size_t kMaxFrameBytes = 1024 * 1024;
inline constexpr std::uint32_t kMaxParameters = 16;
inline constexpr std::size_t kHeaderBytes = 12;
inline constexpr std::size_t kParameterHeaderBytes = 12;

std::string encode(const AppleEvent& event);

enum class DecodeStatus { Complete, NeedMore, Malformed };
struct DecodeResult {
    DecodeStatus status = DecodeStatus::NeedMore;
    AppleEvent event;
    std::size_t consumed = 0; // bytes of the complete frame
    std::string error;
};
// Decodes the first frame of `bytes`, refusing frames over the limits as soon as their
// headers show it.
DecodeResult decode(std::string_view bytes);
} // namespace frame

} // namespace tallowick::platform
