#include "TempRoot.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tallowick::test {

TempRoot::TempRoot() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tallowick-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary root");
    m_path = pattern;
}

TempRoot::~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace tallowick::test
