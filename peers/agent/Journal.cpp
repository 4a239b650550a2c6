#include "Journal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Log.h"

namespace tallowick::agent {

void logLine(std::string_view message) {
    // One fprintf per line: stdio locks the stream, so lines from threads do not mix.
    std::fprintf(stderr, "%s libAgent[%d] UpdateAgent: %.*s\n", platform::logTimestamp().c_str(),
                 ::getpid(), static_cast<int>(message.size()), message.data());
}

void Journal::setPath(std::string hostPath) {
    std::lock_guard lock(m_mutex);
    m_path = std::move(hostPath);
}

void Journal::line(std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_path.empty())
        return;
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string lineText(text);
    lineText += '\n';
    std::size_t done = 0;
    while (done < lineText.size()) {
        const ssize_t n = ::write(fd, lineText.data() + done, lineText.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

} // namespace tallowick::agent
