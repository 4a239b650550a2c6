// The flashing run's reports: stage progress and the result.

#include "core/UpdateControl.h"

namespace tallowick {

bool UpdateControl::UpdateFWProcess(double, int) {
    return false;
}

bool UpdateControl::UpdateFWResult(int) {
    return false;
}

} // namespace tallowick
