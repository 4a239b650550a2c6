#pragma once
// What the application main loop asks of the object that the interface description creates.

namespace tallowick::platform {

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Once the interface is connected.
    virtual void awakeFromNib() = 0;
    // Before the first event is delivered.
    virtual void applicationWillFinishLaunching() = 0;
};

} // namespace tallowick::platform
