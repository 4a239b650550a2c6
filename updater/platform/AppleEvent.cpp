#include "platform/AppleEvent.h"

namespace tallowick::platform {

std::optional<FourCharCode> fourCharCode(std::string_view text) {
    if (text.size() != 4)
        return std::nullopt;
    FourCharCode code = 0;
    for (char c : text)
        code = (code << 8) | static_cast<unsigned char>(c);
    return code;
}

std::string fourCharText(FourCharCode code) {
    std::string text(4, '\0');
    for (int i = 0; i < 4; ++i)
        text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xff);
    return text;
}

const AppleEventParameter* AppleEvent::paramDescriptorForKeyword(FourCharCode keyword) const {
    for (const auto& p : parameters)
        if (p.keyword == keyword)
            return &p;
    return nullptr;
}

namespace frame {

namespace {

void putU32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>((v >> 24) & 0xff));
    out.push_back(static_cast<char>((v >> 16) & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
    out.push_back(static_cast<char>(v & 0xff));
}

std::uint32_t getU32(std::string_view in, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(in[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + 3]));
}

DecodeResult malformed(std::string error) {
    DecodeResult r;
    r.status = DecodeStatus::Malformed;
    r.error = std::move(error);
    return r;
}

} // namespace

std::string encode(const AppleEvent& event) {
    std::string out;
    putU32(out, event.eventClass);
    putU32(out, event.eventID);
    putU32(out, static_cast<std::uint32_t>(event.parameters.size()));
    for (const auto& p : event.parameters) {
        putU32(out, p.keyword);
        putU32(out, p.descriptorType);
        putU32(out, static_cast<std::uint32_t>(p.data.size()));
        out += p.data;
    }
    return out;
}

DecodeResult decode(std::string_view bytes) {
    if (bytes.size() < kHeaderBytes)
        return {};
    DecodeResult result;
    result.event.eventClass = getU32(bytes, 0);
    result.event.eventID = getU32(bytes, 4);
    const std::uint32_t count = getU32(bytes, 8);
    if (count > kMaxParameters)
        return malformed("frame has " + std::to_string(count) + " parameters, more than " +
                         std::to_string(kMaxParameters));
    std::size_t at = kHeaderBytes;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() < at + kParameterHeaderBytes)
            return {};
        AppleEventParameter p;
        p.keyword = getU32(bytes, at);
        p.descriptorType = getU32(bytes, at + 4);
        const std::uint32_t length = getU32(bytes, at + 8);
        at += kParameterHeaderBytes;
        if (at + length > kMaxFrameBytes)
            return malformed("frame is larger than " + std::to_string(kMaxFrameBytes) + " bytes");
        if (bytes.size() < at + length)
            return {};
        p.data.assign(bytes.substr(at, length));
        at += length;
        result.event.parameters.push_back(std::move(p));
    }
    result.status = DecodeStatus::Complete;
    result.consumed = at;
    return result;
}

} // namespace frame
} // namespace tallowick::platform
