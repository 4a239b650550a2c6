// The dashboard step: unpacking the dashboard package and starting its installer.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::GoToUIUpdate() {}

void UpdateControl::StartUIUpdate() {}

void UpdateControl::UnZipFile(const std::string&) {}

bool UpdateControl::killMacSwapper() {
    return false;
}

bool UpdateControl::startMacSwapper() {
    return false;
}

std::int32_t UpdateControl::creatAuthorization() {
    return 0;
}

std::int32_t UpdateControl::AuthStartEngine() {
    return 0;
}

void UpdateControl::releaseAuthorization() {}

void UpdateControl::CancelUIUpdate() {}

bool UpdateControl::UpdateUIProcess(double, int) {
    return false;
}

bool UpdateControl::UpdateUIResult(int) {
    return false;
}

} // namespace tallowick
