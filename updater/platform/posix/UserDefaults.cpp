#include "platform/UserDefaults.h"

#include <cstdlib>

namespace tallowick::platform {

std::string EnvironmentUserDefaults::languageOfLocale(std::string_view locale) {
    // "fr_FR.UTF-8@euro" -> language "fr", region "FR"
    const std::size_t cut = locale.find_first_of(".@");
    std::string_view name = locale.substr(0, cut);
    if (name.empty() || name == "C" || name == "POSIX")
        return {};
    const std::size_t sep = name.find_first_of("_-");
    const std::string language(name.substr(0, sep));
    const std::string region(sep == std::string_view::npos ? "" : name.substr(sep + 1));
    // Chinese is named by its script, as the system's language list does.
    if (language == "zh")
        return (region == "TW" || region == "HK" || region == "MO") ? "zh-Hant" : "zh-Hans";
    return language;
}

std::vector<std::string> EnvironmentUserDefaults::appleLanguages() const {
    std::vector<std::string> languages;
    auto add = [&](std::string_view locale) {
        const std::string language = languageOfLocale(locale);
        if (language.empty())
            return;
        for (const auto& l : languages)
            if (l == language)
                return;
        languages.push_back(language);
    };
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(var); value && *value) {
            add(value);
            break;
        }
    }
    if (languages.empty())
        languages.push_back("en");
    return languages;
}

} // namespace tallowick::platform
