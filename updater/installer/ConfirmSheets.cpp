// The confirmation sheets between the download, the flashing and the installation.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::CancelFirmwareUpdate(platform::Control*) {}

void UpdateControl::CloseUIOK(platform::Control*) {}

void UpdateControl::CloseUICancel(platform::Control*) {}

void UpdateControl::MakeSureOK(platform::Control*) {}

void UpdateControl::MakeSureCancel(platform::Control*) {}

void UpdateControl::ReInsertModemOK(platform::Control*) {}

} // namespace tallowick
