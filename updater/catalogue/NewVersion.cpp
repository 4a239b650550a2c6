// New-version evaluation: the check result, stale downloads and the package list.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::HaveNewVersion() {}

void UpdateControl::ParseUpdatePackageInfo() {}

} // namespace tallowick
