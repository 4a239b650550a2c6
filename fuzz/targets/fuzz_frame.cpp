// Message frames as they come off the socket, then their data as an XML property list, as the
// message channel reads it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/AppleEvent.h"
#include "platform/Plist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tallowick;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A stream may hold several frames back to back.
    while (!bytes.empty()) {
        const platform::frame::DecodeResult r = platform::frame::decode(bytes);
        if (r.status != platform::frame::DecodeStatus::Complete)
            break;
        if (r.consumed == 0 || r.consumed > bytes.size())
            __builtin_trap();
        for (const auto& parameter : r.event.parameters) {
            if (auto value = plist::parseXml(parameter.data); value && value->isDictionary()) {
                const plist::Dictionary& message = *value->asDictionary();
                (void)message.intValue("CMD_ID");
                (void)message.doubleValue("UPDA_PROCESS");
                (void)message.boolValue("DEVICE_STATE");
                (void)plist::toXml(*value);
            }
        }
        // What is encoded again decodes to the same frame.
        const std::string again = platform::frame::encode(r.event);
        const platform::frame::DecodeResult back = platform::frame::decode(again);
        if (back.status != platform::frame::DecodeStatus::Complete || back.consumed != again.size())
            __builtin_trap();
        bytes.remove_prefix(r.consumed);
    }
    return 0;
}
