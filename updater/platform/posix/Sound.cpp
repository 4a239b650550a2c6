#include "platform/Sound.h"

#include <unistd.h>

namespace tallowick::platform {

void TerminalSound::beep() {
    if (::isatty(STDERR_FILENO)) [[maybe_unused]]
        const ssize_t n = ::write(STDERR_FILENO, "\a", 1);
}

} // namespace tallowick::platform
