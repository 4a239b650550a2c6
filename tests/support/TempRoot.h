#pragma once

#include <string>

namespace tallowick::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace tallowick::test
