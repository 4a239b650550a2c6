#pragma once
// The application bundle's resources folder (a host path, not under the root mapping).

#include <optional>
#include <string>
#include <string_view>

namespace tallowick::platform {

class Bundle {
public:
    explicit Bundle(std::string resourcePath) : m_resourcePath(std::move(resourcePath)) {}
    // TALLOWICK_RESOURCES, else the installed data folder, else the source tree's resources.
    static Bundle fromEnvironment(const std::string& builtInPath);

    const std::string& resourcePath() const { return m_resourcePath; }
    // pathForResource:ofType: — the path when the file exists.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
    // The bytes of a file given relative to the resources folder; none when it cannot be read.
    std::optional<std::string> contentsOfResource(std::string_view relativePath) const;

private:
    std::string m_resourcePath;
};

} // namespace tallowick::platform
