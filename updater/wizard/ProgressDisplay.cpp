// The update window's step labels, progress lines and elapsed-time clock.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::AddProcessInfo(const std::string&, bool) {}

void UpdateControl::UpdateTextColorFor(int, int) {}

void UpdateControl::UpdateElapseTime(platform::Timer&) {}

} // namespace tallowick
