#pragma once
// The running applications (NSWorkspace launchedApplications).

#include <string>
#include <vector>

#include "platform/Plist.h"

namespace tallowick::platform {

class FileSystem;

class Workspace {
public:
    virtual ~Workspace() = default;
    // One dictionary per running application, with "NSApplicationBundleIdentifier".
    virtual std::vector<plist::Dictionary> launchedApplications() const = 0;
};

// The folder, under the root, where running applications hold a lock file named after their
// bundle identifier ("<identifier>.lock") for as long as they run.
inline constexpr const char* kRunningApplicationsFolder = "/tmp/tallowick/apps";

// Running applications announce themselves by holding an flock on their lock file.
class LockFileWorkspace : public Workspace {
public:
    explicit LockFileWorkspace(const FileSystem& fs) : m_fs(fs) {}
    std::vector<plist::Dictionary> launchedApplications() const override;

private:
    const FileSystem& m_fs;
};

// Held by a running application for its lifetime: its announcement to LockFileWorkspace.
class RunningApplicationLock {
public:
    RunningApplicationLock(const FileSystem& fs, const std::string& bundleIdentifier);
    ~RunningApplicationLock();
    RunningApplicationLock(const RunningApplicationLock&) = delete;
    RunningApplicationLock& operator=(const RunningApplicationLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// A fixed list, for tests.
class StaticWorkspace : public Workspace {
public:
    std::vector<std::string> bundleIdentifiers;
    std::vector<plist::Dictionary> launchedApplications() const override;
};

} // namespace tallowick::platform
