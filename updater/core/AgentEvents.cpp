// Reactions to the update agent's reports during a check and a download.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::ManualUpdateState(int) {}

void UpdateControl::DownloadFinished(bool) {}

void UpdateControl::DownloadProcess(const std::string&, double) {}

} // namespace tallowick
