#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "ControllerFixture.h"
#include "localisation/LanguageKeys.h"
#include "localisation/StringsFile.h"
#include "platform/UserDefaults.h"

namespace tallowick {
namespace {

namespace fsys = std::filesystem;

const fsys::path kResources = TALLOWICK_TEST_RESOURCES;

std::string readFile(const fsys::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::set<std::string> programKeys() {
    return {std::begin(langkey::kLanguageKeys), std::end(langkey::kLanguageKeys)};
}

// The language files shipped in the resources, relative to the resources folder.
std::vector<std::string> shippedLanguageFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fsys::directory_iterator(kResources / "lang"))
        if (entry.is_regular_file() && entry.path().extension() == ".strings")
            files.push_back("lang/" + entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

plist::Dictionary shippedLanguageEntries() {
    const std::optional<plist::Value> config =
        plist::parse(readFile(kResources / "UpdateCfg.plist"));
    if (!config || !config->asDictionary())
        return {};
    const plist::Value* languages = config->asDictionary()->find("Language");
    return languages && languages->asDictionary() ? *languages->asDictionary()
                                                  : plist::Dictionary{};
}

TEST(LanguageFiles, EachHasExactlyTheKeysTheProgramLooksUp) {
    const std::vector<std::string> files = shippedLanguageFiles();
    for (const char* required : {"lang/en.strings", "lang/fr.strings", "lang/de.strings",
                                 "lang/es.strings", "lang/zh-Hans.strings", "lang/pt.strings"})
        EXPECT_NE(std::find(files.begin(), files.end(), required), files.end()) << required;

    const std::set<std::string> wanted = programKeys();
    for (const std::string& file : files) {
        StringsFileError error;
        const std::optional<LanguageTable> table =
            parseStringsFile(readFile(kResources / file), &error);
        ASSERT_TRUE(table) << file << " line " << error.line << ": " << error.reason;

        std::vector<std::string> missing;
        std::vector<std::string> unused;
        std::vector<std::string> empty;
        for (const std::string& key : wanted)
            if (!table->count(key))
                missing.push_back(key);
        for (const auto& [key, text] : *table) {
            if (!wanted.count(key))
                unused.push_back(key);
            if (text.empty())
                empty.push_back(key);
        }
        EXPECT_EQ(missing, std::vector<std::string>{}) << file << " lacks keys";
        EXPECT_EQ(unused, std::vector<std::string>{}) << file << " has keys nothing looks up";
        EXPECT_EQ(empty, std::vector<std::string>{}) << file << " has empty texts";
    }
}

TEST(LanguageFiles, ConfigurationNamesThemForTheSystemLanguages) {
    const plist::Dictionary languages = shippedLanguageEntries();
    ASSERT_TRUE(languages.contains("DEFAULT"));

    // Every entry names a shipped file, and every shipped file is named.
    const std::vector<std::string> files = shippedLanguageFiles();
    std::set<std::string> named;
    for (const auto& [name, file] : languages) {
        ASSERT_TRUE(file.asString()) << name;
        EXPECT_NE(std::find(files.begin(), files.end(), *file.asString()), files.end()) << name;
        named.insert(*file.asString());
    }
    EXPECT_EQ(named, std::set<std::string>(files.begin(), files.end()));
    EXPECT_EQ(languages.stringValue("DEFAULT"), "lang/en.strings");

    // The names that the user's locale gives have entries of their own.
    const std::pair<const char*, const char*> locales[] = {
        {"en_US.UTF-8", "lang/en.strings"},      {"en_GB.UTF-8", "lang/en.strings"},
        {"fr_FR.UTF-8", "lang/fr.strings"},      {"fr_CA.UTF-8", "lang/fr.strings"},
        {"de_DE.UTF-8", "lang/de.strings"},      {"de_AT", "lang/de.strings"},
        {"es_ES.UTF-8", "lang/es.strings"},      {"es_MX.UTF-8", "lang/es.strings"},
        {"zh_CN.UTF-8", "lang/zh-Hans.strings"}, {"zh_SG", "lang/zh-Hans.strings"},
        {"pt_BR.UTF-8", "lang/pt.strings"},      {"pt_PT.UTF-8", "lang/pt.strings"},
    };
    for (const auto& [locale, file] : locales) {
        const std::string name = platform::EnvironmentUserDefaults::languageOfLocale(locale);
        ASSERT_TRUE(languages.contains(name)) << locale << " gives " << name;
        EXPECT_EQ(languages.stringValue(name), file) << locale;
    }
}

// Every key written as a text anywhere in the program is one of the language keys, so that
// a misspelt key cannot fall back to itself unnoticed.
TEST(LanguageFiles, EveryKeyInTheProgramSourcesIsALanguageKey) {
    const std::set<std::string> wanted = programKeys();
    const std::regex keyText(R"re("(CM_UPDATER?_[A-Za-z0-9_]*)")re");
    const std::regex lookup(R"re(MapLangString\(\s*"([^"]*)"\s*\))re");
    std::size_t filesRead = 0;
    for (const auto& entry : fsys::recursive_directory_iterator(TALLOWICK_TEST_SOURCES)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
            continue;
        ++filesRead;
        const std::string source = readFile(entry.path());
        for (const std::regex* pattern : {&keyText, &lookup})
            for (std::sregex_iterator it(source.begin(), source.end(), *pattern), end; it != end;
                 ++it)
                EXPECT_TRUE(wanted.count((*it)[1].str()))
                    << entry.path().string() << " uses " << (*it)[1].str();
    }
    EXPECT_GT(filesRead, 0u);
}

// The shipped configuration and files, loaded by the controller for every name listed.
class ShippedLanguages : public test::ControllerFixture {};

TEST_F(ShippedLanguages, EveryListedNameLoadsItsFile) {
    ASSERT_TRUE(fs.createDirectories("/System/Library/ModemList/Update"));
    ASSERT_TRUE(fs.writeFileAtomically("/System/Library/ModemList/Update/UpdateCfg.plist",
                                       readFile(kResources / "UpdateCfg.plist")));
    startController();
    ASSERT_EQ(control->m_CurLang, "en");

    for (const auto& [name, file] : shippedLanguageEntries()) {
        logSink->clear();
        control->LoadLanguage(name, 1);
        EXPECT_EQ(control->m_CurLang, name);
        const std::optional<LanguageTable> table =
            parseStringsFile(readFile(kResources / file.stringValue()));
        ASSERT_TRUE(table) << name;
        EXPECT_EQ(logSink->lines(), std::vector<std::string>{table->at("Language")}) << name;
        EXPECT_EQ(windows.window("m_UpdateWnd")->title(), table->at("CM_UPDATER_CAPTION_STR"));
        EXPECT_EQ(control->MapLangString(langkey::CM_UPDATER_UPDATE_FIRMWARE_DOWN_DSP2_STR),
                  table->at("CM_UPDATER_UPDATE_FIRMWARE_DOWN_DSP2_STR"));
    }
}

} // namespace
} // namespace tallowick
