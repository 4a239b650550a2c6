#pragma once
// Files under the root mapping: the system's fixed paths ("/System/Library/...") are used as
// they stand and resolved under the root folder named by TALLOWICK_ROOT (default "/").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowick::platform {

class FileSystem {
public:
    // A root that would break an unquoted shell command, is not absolute or is not a folder
    // is refused: fromEnvironment() then gives no file system and the reason in `error`.
    static std::optional<FileSystem> fromEnvironment(std::string& error);
    static bool isSafeRoot(std::string_view root, std::string& error);

    explicit FileSystem(std::string root);

    const std::string& root() const { return m_root; }
    // The host path of a system path.
    std::string resolve(std::string_view systemPath) const;

    bool fileExists(std::string_view path) const;
    bool isDirectory(std::string_view path) const;
    std::optional<std::string> readFile(std::string_view path) const;
    // Writes to a temporary file beside the target and renames it over the target, so that a
    // failed write leaves the old file whole.
    bool writeFileAtomically(std::string_view path, std::string_view contents) const;
    // Removes a file or a whole folder; false when nothing was there or it could not go.
    bool removeItem(std::string_view path) const;
    bool createDirectories(std::string_view path) const;
    bool moveItem(std::string_view from, std::string_view to) const;
    std::vector<std::string> contentsOfDirectory(std::string_view path) const;
    std::optional<std::uint64_t> fileSize(std::string_view path) const;

private:
    std::string m_root; // without a trailing slash; "" for "/"
};

} // namespace tallowick::platform
