#pragma once
// Delivery of message events to their registered handler, on the UI thread.

#include <functional>

#include "platform/AppleEvent.h"
#include "platform/Plist.h"

namespace tallowick::platform {

// A message event ("GURL"/"GURL") carrying the dictionary as an XML property list under "UCMS".
AppleEvent makeMessageEvent(const plist::Dictionary& message);

class MessageChannel {
public:
    using Handler = std::function<void(const AppleEvent& event)>;
    virtual ~MessageChannel() = default;
    // setEventHandler:andSelector:forEventClass:andEventID: — lasts for the life of the channel.
    virtual void setEventHandler(FourCharCode eventClass, FourCharCode eventID,
                                 Handler handler) = 0;
};

// Delivers events handed to it in-process: tests and the transports' common part.
class DirectMessageChannel : public MessageChannel {
public:
    void setEventHandler(FourCharCode eventClass, FourCharCode eventID, Handler handler) override;
    // Calls the handler registered for the event's class and ID; false when there is none.
    bool deliver(const AppleEvent& event) const;

private:
    struct Registration {
        FourCharCode eventClass;
        FourCharCode eventID;
        Handler handler;
    };
    std::vector<Registration> m_registrations;
};

} // namespace tallowick::platform
