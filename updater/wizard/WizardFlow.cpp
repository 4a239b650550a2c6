// The wizard's own buttons and the wait window's time-out.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::WaitInfoOK(platform::Control*) {}

// The time-out takes no action: the wait window, the state and the timer stay as they are.
void UpdateControl::WaitInfoTimeOut(platform::Timer&) {}

void UpdateControl::UpdateInfoCancel(platform::Control*) {}

void UpdateControl::UpdateInfoNext(platform::Control*) {}

void UpdateControl::UpdateSelBack(platform::Control*) {}

void UpdateControl::UpdateSelStartUpdate(platform::Control*) {}

void UpdateControl::UpdateSelCancel(platform::Control*) {}

void UpdateControl::UpdateCancelOK(platform::Control*) {}

} // namespace tallowick
