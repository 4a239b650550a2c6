#include "platform/Workspace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace tallowick::platform {

namespace {

constexpr std::string_view kLockSuffix = ".lock";

bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// True when another open file description holds the lock.
bool isHeld(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    const bool held = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd); // releases our own probe lock, if we got it
    return held;
}

} // namespace

std::vector<plist::Dictionary> LockFileWorkspace::launchedApplications() const {
    std::vector<plist::Dictionary> apps;
    for (const auto& name : m_fs.contentsOfDirectory(kRunningApplicationsFolder)) {
        if (name.size() <= kLockSuffix.size() ||
            name.compare(name.size() - kLockSuffix.size(), kLockSuffix.size(), kLockSuffix) != 0)
            continue;
        const std::string path = std::string(kRunningApplicationsFolder) + "/" + name;
        if (!isHeld(m_fs.resolve(path)))
            continue;
        plist::Dictionary app;
        app.set("NSApplicationBundleIdentifier", name.substr(0, name.size() - kLockSuffix.size()));
        apps.push_back(std::move(app));
    }
    return apps;
}

RunningApplicationLock::RunningApplicationLock(const FileSystem& fs,
                                               const std::string& bundleIdentifier) {
    if (!isPlainName(bundleIdentifier) || !fs.createDirectories(kRunningApplicationsFolder))
        return;
    const std::string path =
        fs.resolve(std::string(kRunningApplicationsFolder) + "/" + bundleIdentifier + ".lock");
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RunningApplicationLock::~RunningApplicationLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::vector<plist::Dictionary> StaticWorkspace::launchedApplications() const {
    std::vector<plist::Dictionary> apps;
    for (const auto& id : bundleIdentifiers)
        apps.push_back(plist::Dictionary{{"NSApplicationBundleIdentifier", id}});
    return apps;
}

} // namespace tallowick::platform
