#include "platform/MessageChannel.h"

namespace tallowick::platform {

AppleEvent makeMessageEvent(const plist::Dictionary& message) {
    AppleEvent event;
    event.eventClass = fourCharCode("GURL");
    event.eventID = fourCharCode("GURL");
    event.parameters.push_back({fourCharCode("UCMS"), fourCharCode("utf8"), plist::toXml(message)});
    return event;
}

void DirectMessageChannel::setEventHandler(FourCharCode eventClass, FourCharCode eventID,
                                           Handler handler) {
    for (auto& r : m_registrations) {
        if (r.eventClass == eventClass && r.eventID == eventID) {
            r.handler = std::move(handler);
            return;
        }
    }
    m_registrations.push_back({eventClass, eventID, std::move(handler)});
}

bool DirectMessageChannel::deliver(const AppleEvent& event) const {
    for (const auto& r : m_registrations) {
        if (r.eventClass == event.eventClass && r.eventID == event.eventID && r.handler) {
            r.handler(event);
            return true;
        }
    }
    return false;
}

} // namespace tallowick::platform
