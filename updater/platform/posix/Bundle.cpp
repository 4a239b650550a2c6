#include "platform/Bundle.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace tallowick::platform {

namespace {

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

Bundle Bundle::fromEnvironment(const std::string& builtInPath) {
    if (const char* env = std::getenv("TALLOWICK_RESOURCES"); env && *env)
        return Bundle(env);
    if (isFolder(builtInPath))
        return Bundle(builtInPath);
    return Bundle("/usr/share/tallowick");
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   std::string_view type) const {
    std::string path = m_resourcePath + "/" + std::string(name);
    if (!type.empty())
        path += "." + std::string(type);
    if (!isFile(path))
        return std::nullopt;
    return path;
}

std::optional<std::string> Bundle::contentsOfResource(std::string_view relativePath) const {
    if (relativePath.empty() || relativePath.front() == '/' ||
        relativePath.find("..") != std::string_view::npos)
        return std::nullopt;
    const std::string path = m_resourcePath + "/" + std::string(relativePath);
    if (!isFile(path))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace tallowick::platform
