#pragma once
// Helpers for the catalogue tests: data files placed into a test root, and a count of the
// atomic replacements of one file.

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Plist.h"

namespace tallowick::plist {
// Failure messages show dictionaries as property lists.
inline void PrintTo(const Dictionary& dictionary, std::ostream* os) {
    *os << toXml(Value(dictionary));
}
} // namespace tallowick::plist

namespace tallowick::test {

// The content of tests/data/catalogue/<name>; "@ROOT@" stands for the test root's host path.
inline std::string catalogueData(const std::string& name, const std::string& root = "") {
    std::ifstream in(std::string(TALLOWICK_TEST_DATA) + "/catalogue/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing data file " << name;
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    for (std::size_t at = text.find("@ROOT@"); at != std::string::npos;
         at = text.find("@ROOT@", at + root.size()))
        text.replace(at, 6, root);
    return text;
}

// Places a data file at a system path under the root, creating its folder.
inline void installData(const platform::FileSystem& fs, const std::string& name,
                        const std::string& systemPath) {
    const std::string folder = systemPath.substr(0, systemPath.rfind('/'));
    ASSERT_TRUE(fs.createDirectories(folder));
    ASSERT_TRUE(fs.writeFileAtomically(systemPath, catalogueData(name, fs.root())));
}

// Counts how often a file is put in place by a rename (as an atomic write does), from the
// folder's inotify events; the folder must exist when the counter is made.
class ReplacementCounter {
public:
    ReplacementCounter(const std::string& hostFolder, std::string fileName)
        : m_name(std::move(fileName)), m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(m_fd, 0);
        // The temporary file's creation sits between two renames: the kernel would merge two
        // identical events in a row into one.
        EXPECT_GE(::inotify_add_watch(m_fd, hostFolder.c_str(), IN_MOVED_TO | IN_CREATE), 0)
            << hostFolder;
    }
    ~ReplacementCounter() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReplacementCounter(const ReplacementCounter&) = delete;
    ReplacementCounter& operator=(const ReplacementCounter&) = delete;

    // Renames onto the file so far. The kernel queues the events during the rename itself,
    // so everything done before the call is counted.
    int count() {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                inotify_event event{};
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof(inotify_event);
                if ((event.mask & IN_MOVED_TO) && event.len > 0 && m_name == name)
                    ++m_count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            }
        }
        return m_count;
    }

private:
    std::string m_name;
    int m_fd;
    int m_count = 0;
};

} // namespace tallowick::test
