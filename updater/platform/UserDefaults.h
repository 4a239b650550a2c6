#pragma once
// The user's preferred languages ("AppleLanguages").

#include <string>
#include <string_view>
#include <vector>

namespace tallowick::platform {

class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    virtual std::vector<std::string> appleLanguages() const = 0;
};

// From LANGUAGE (a colon list), then LC_ALL, LC_MESSAGES, LANG: "fr_FR.UTF-8" gives "fr".
class EnvironmentUserDefaults : public UserDefaults {
public:
    std::vector<std::string> appleLanguages() const override;
    // The language name of one locale text ("" for "C" or "POSIX").
    static std::string languageOfLocale(std::string_view locale);
};

class StaticUserDefaults : public UserDefaults {
public:
    std::vector<std::string> languages;
    std::vector<std::string> appleLanguages() const override { return languages; }
};

} // namespace tallowick::platform
