#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowick::platform {

namespace fs = std::filesystem;

bool FileSystem::isSafeRoot(std::string_view root, std::string& error) {
    if (root.empty() || root.front() != '/') {
        error = "the root \"" + std::string(root) + "\" is not an absolute path";
        return false;
    }
    // Commands are composed with the root in them and run unquoted by the shell: only
    // characters that the shell takes literally are allowed.
    for (char c : root) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '_' || c == '-' ||
                        c == '+' || c == ',' || c == ':' || c == '@' || c == '%' || c == '=';
        if (!ok) {
            error = "the root \"" + std::string(root) +
                    "\" holds a character that a shell command would not take literally";
            return false;
        }
    }
    std::error_code ec;
    if (!fs::is_directory(fs::path(std::string(root)), ec)) {
        error = "the root \"" + std::string(root) + "\" is not a folder";
        return false;
    }
    return true;
}

std::optional<FileSystem> FileSystem::fromEnvironment(std::string& error) {
    const char* env = std::getenv("TALLOWICK_ROOT");
    std::string root = (env && *env) ? env : "/";
    if (!isSafeRoot(root, error))
        return std::nullopt;
    return FileSystem(root);
}

FileSystem::FileSystem(std::string root) : m_root(std::move(root)) {
    while (!m_root.empty() && m_root.back() == '/')
        m_root.pop_back();
}

std::string FileSystem::resolve(std::string_view systemPath) const {
    if (systemPath.empty() || systemPath.front() != '/')
        return m_root + "/" + std::string(systemPath);
    return m_root + std::string(systemPath);
}

bool FileSystem::fileExists(std::string_view path) const {
    struct stat st {};
    return ::stat(resolve(path).c_str(), &st) == 0;
}

bool FileSystem::isDirectory(std::string_view path) const {
    struct stat st {};
    return ::stat(resolve(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> FileSystem::readFile(std::string_view path) const {
    const int fd = ::open(resolve(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return contents;
}

bool FileSystem::writeFileAtomically(std::string_view path, std::string_view contents) const {
    const std::string target = resolve(path);
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool FileSystem::removeItem(std::string_view path) const {
    std::error_code ec;
    return fs::remove_all(resolve(path), ec) > 0 && !ec;
}

bool FileSystem::createDirectories(std::string_view path) const {
    std::error_code ec;
    fs::create_directories(resolve(path), ec);
    return !ec && isDirectory(path);
}

bool FileSystem::moveItem(std::string_view from, std::string_view to) const {
    return ::rename(resolve(from).c_str(), resolve(to).c_str()) == 0;
}

std::vector<std::string> FileSystem::contentsOfDirectory(std::string_view path) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(resolve(path), ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

std::optional<std::uint64_t> FileSystem::fileSize(std::string_view path) const {
    struct stat st {};
    if (::stat(resolve(path).c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace tallowick::platform
