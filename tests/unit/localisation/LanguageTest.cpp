#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ControllerFixture.h"
#include "core/agent/UpdateAgent.h"
#include "localisation/LanguageKeys.h"

namespace tallowick {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kConfigFolder = "/System/Library/ModemList/Update";
constexpr const char* kConfigPath = "/System/Library/ModemList/Update/UpdateCfg.plist";

// The test languages: each file marks its texts with its own name ("First OK", ...).
plist::Dictionary testLanguages() {
    return plist::Dictionary{
        {"DEFAULT", "lang/first.strings"}, {"first", "lang/first.strings"},
        {"second", "lang/second.strings"}, {"broken", "lang/broken.strings"},
        {"cut", "lang/zero-byte.strings"}, {"plain", "lang/no-language-key.strings"},
    };
}

// A controller whose bundle holds the test language files and whose configuration the test
// writes into the root before starting it.
class LanguageTest : public test::ControllerFixture {
protected:
    LanguageTest() { bundle = platform::Bundle(TALLOWICK_TEST_DATA); }

    void writeConfigFile(std::string_view bytes) {
        ASSERT_TRUE(fs.createDirectories(kConfigFolder));
        ASSERT_TRUE(fs.writeFileAtomically(kConfigPath, bytes));
    }
    void writeLanguages(const plist::Dictionary& languages) {
        writeConfigFile(plist::toXml(plist::Dictionary{{"Language", languages}}));
    }
    void startWith(const std::string& preferredLanguage) {
        writeLanguages(testLanguages());
        userDefaults.languages = {preferredLanguage};
        startController();
    }
    // An update request in the automatic mode: it leaves the update cycle idle, so every
    // request is handled.
    void requestWithLanguage(const std::string& language) {
        plist::Dictionary message = test::updateMessage(UPDATE_MODE_AUTO);
        message.set("UI_Language", language);
        send(message);
    }
    // True when the log shows any of the language subsystem's lines.
    bool loggedLanguageLines(const Strings& texts) const {
        for (const std::string& line : logSink->lines()) {
            if (line.find(" is nil.") != std::string::npos)
                return true;
            for (const char* fixed :
                 {"The language dict isn't exist!", "Language file doesen't exist.",
                  "Language dictionary init failed."})
                if (line == fixed)
                    return true;
            for (const std::string& text : texts)
                if (line == text)
                    return true;
        }
        return false;
    }
    std::string titleOf(std::string_view window) const { return windows.window(window)->title(); }
    std::size_t nilLines() const {
        std::size_t n = 0;
        for (const std::string& line : logSink->lines())
            n += line.find(" is nil.") != std::string::npos;
        return n;
    }
};

// The relabelling lines of the trace, without the enabled state and colour that follow.
Strings wording(const Strings& trace) {
    Strings out;
    for (std::string line : trace) {
        if (line.find(" title=") == std::string::npos && line.find(" text=") == std::string::npos &&
            line.find(" header ") == std::string::npos)
            continue;
        for (const char* tail : {" enabled=", " color="})
            if (const auto at = line.rfind(tail); at != std::string::npos)
                line.erase(at);
        out.push_back(line);
    }
    return out;
}

struct ConfigCase {
    const char* name;
    std::optional<std::string> file; // none: no configuration file at all
};

class NoLanguageDictionary : public LanguageTest,
                             public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(NoLanguageDictionary, EveryLoadLogsItAndKeysShow) {
    if (GetParam().file)
        writeConfigFile(*GetParam().file);
    startController();

    EXPECT_EQ(logSink->count("The language dict isn't exist!"), 1u);
    EXPECT_FALSE(control->m_LangDict);
    EXPECT_EQ(control->m_CurLang, "NULL");
    EXPECT_EQ(titleOf("m_WaitWnd"), "");
    EXPECT_EQ(control->MapLangString("CM_UPDATER_STR_OK"), "CM_UPDATER_STR_OK");
    EXPECT_EQ(nilLines(), 0u);

    // Every later load stops at the same point.
    logSink->clear();
    control->LoadLanguage("first", 1);
    EXPECT_EQ(logSink->lines(), Strings{"The language dict isn't exist!"});
    EXPECT_EQ(control->m_CurLang, "NULL");
    EXPECT_FALSE(control->m_LangDict);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, NoLanguageDictionary,
    ::testing::Values(
        ConfigCase{"NoFile", std::nullopt}, ConfigCase{"NotAPropertyList", "Language = en"},
        ConfigCase{"ArrayRoot", plist::toXml(plist::Array{"Language"})},
        ConfigCase{"NoLanguageEntry", plist::toXml(plist::Dictionary{{"Other", "x"}})},
        ConfigCase{"LanguageIsAString",
                   plist::toXml(plist::Dictionary{{"Language", "lang/first.strings"}})}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct FileCase {
    const char* name;
    plist::Dictionary languages;
};

class NoLanguageFile : public LanguageTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(NoLanguageFile, LogsItAndLoadsNothing) {
    writeLanguages(GetParam().languages);
    userDefaults.languages = {"en"};
    startController();

    EXPECT_EQ(logSink->count("Language file doesen't exist."), 1u);
    EXPECT_FALSE(control->m_LangDict);
    EXPECT_EQ(control->m_CurLang, "NULL");
    EXPECT_EQ(titleOf("m_WaitWnd"), "");

    logSink->clear();
    control->LoadLanguage(std::nullopt, 0);
    EXPECT_EQ(logSink->lines(), Strings{"Language file doesen't exist."});
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, NoLanguageFile,
    ::testing::Values(
        FileCase{"NoEntryAndNoDefault", {{"fr", "lang/second.strings"}}},
        FileCase{"DefaultFileMissing", {{"DEFAULT", "lang/missing.strings"}}},
        // The language's own entry is taken even when its file is missing.
        FileCase{"OwnFileMissing",
                 {{"en", "lang/missing.strings"}, {"DEFAULT", "lang/first.strings"}}},
        FileCase{"FileOutsideTheResources", {{"DEFAULT", "../data/lang/first.strings"}}},
        FileCase{"AbsolutePath", {{"DEFAULT", TALLOWICK_TEST_DATA "/lang/first.strings"}}},
        FileCase{"FolderInsteadOfFile", {{"DEFAULT", "lang"}}},
        FileCase{"EmptyName", {{"DEFAULT", ""}}}, FileCase{"NameIsNotAString", {{"DEFAULT", 42}}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(LanguageTest, DefaultFileServesALanguageWithoutAnEntryUnderTheRequestedName) {
    startWith("xx");
    EXPECT_EQ(control->m_CurLang, "xx");
    EXPECT_EQ(titleOf("m_WaitWnd"), "First caption");
    EXPECT_EQ(logSink->count("First language"), 1u);

    // Names are compared exactly: "Second" is not "second".
    control->LoadLanguage("Second", 1);
    EXPECT_EQ(control->m_CurLang, "Second");
    EXPECT_EQ(titleOf("m_WaitWnd"), "First caption");

    control->LoadLanguage("second", 1);
    EXPECT_EQ(control->m_CurLang, "second");
    EXPECT_EQ(titleOf("m_WaitWnd"), "Second caption");
}

TEST_F(LanguageTest, NoPreferredLanguageLoadsTheDefaultFile) {
    writeLanguages(testLanguages());
    userDefaults.languages.clear();
    startController();
    EXPECT_EQ(control->m_CurLang, "");
    EXPECT_EQ(titleOf("m_WaitWnd"), "First caption");
}

TEST_F(LanguageTest, TheLoadedLanguageAgainReloadsNothingAndLogsNothing) {
    startWith("first");
    const LanguageTable* loaded = control->m_LangDict.get();
    ASSERT_TRUE(loaded);
    logSink->clear();
    traced.clear();

    requestWithLanguage("first");
    EXPECT_FALSE(loggedLanguageLines({"First language"}));
    EXPECT_EQ(control->m_LangDict.get(), loaded);

    logSink->clear();
    control->LoadLanguage(std::nullopt, 0);
    control->LoadLanguage("first", 1);
    EXPECT_EQ(logSink->lines(), Strings{});
    EXPECT_EQ(control->m_LangDict.get(), loaded);
    EXPECT_EQ(wording(traced.lines()), Strings{});
}

TEST_F(LanguageTest, AnotherLanguageRelabelsEveryWindowInOrder) {
    startWith("first");
    traced.clear();
    logSink->clear();

    requestWithLanguage("second");

    const Strings expected{
        R"(m_WaitWnd title="Second caption")",
        R"(m_WaitOKBtn title="Second OK")",
        R"(m_UpdateInfoWnd title="Second caption")",
        R"(m_InfoCancelBtn title="Second Cancel")",
        R"(m_InfoNextBtn title="Second Next")",
        R"(m_ModuleSelWnd title="Second caption")",
        R"(m_UpdateBtn title="Second Update")",
        R"(m_SelBackBtn title="Second Back")",
        R"(m_SelCancelBtn title="Second Cancel")",
        R"(m_PackageListView header checkstate="Second kind")",
        R"(m_PackageListView header Version="Second version")",
        R"(m_PackageListView header Size="Second size")",
        R"(m_PackageListView header PriorityFlag="Second priority")",
        R"(m_MakeSureText text="Second keep power")",
        R"(m_MakeSureOKBtn title="Second OK")",
        R"(m_MakeSureCancelBtn title="Second Cancel")",
        R"(m_OKCancelBtn title="Second Cancel")",
        R"(m_ModemText text="Second no device")",
        R"(m_FirmwareCancelBtn title="Second Cancel")",
        R"(m_CloseUIText text="Second close dashboard")",
        R"(m_CloseUICancel title="Second Cancel")",
        R"(m_CloseUIOK title="Second OK")",
        R"(m_UpdateWnd title="Second caption")",
        R"(m_DownLoadText text="Second download")",
        R"(m_UpdateFWText text="Second firmware")",
        R"(m_UpdateUIText text="Second dashboard")",
        R"(m_UpdateEndText text="Second end")",
        R"(m_ReInsertModemWnd title="Second caption")",
        R"(m_ReInsertModemText text="Second reinsert")",
        R"(m_ReInsertModemOK title="Second OK")",
    };
    EXPECT_EQ(wording(traced.lines()), expected);
    // The three sheets get no title.
    for (const char* sheet : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
        EXPECT_EQ(titleOf(sheet), "") << sheet;
    EXPECT_EQ(control->m_CurLang, "second");
    EXPECT_EQ(logSink->count("Second language"), 1u);
    EXPECT_EQ(nilLines(), 0u);
}

TEST_F(LanguageTest, FailedParseLeavesNoTableUntilAnotherLanguageLoads) {
    startWith("first");
    logSink->clear();
    traced.clear();

    requestWithLanguage("broken");
    EXPECT_EQ(logSink->count("Language dictionary init failed."), 1u);
    EXPECT_FALSE(control->m_LangDict);
    EXPECT_EQ(control->m_CurLang, "first");
    EXPECT_EQ(control->MapLangString("CM_UPDATER_STR_OK"), "CM_UPDATER_STR_OK");
    EXPECT_EQ(nilLines(), 0u);
    // The windows are not relabelled: they keep the texts they had.
    EXPECT_EQ(wording(traced.lines()), Strings{});
    EXPECT_EQ(titleOf("m_WaitWnd"), "First caption");

    // The first language is still the current one by name, so asking for it loads nothing.
    logSink->clear();
    requestWithLanguage("first");
    EXPECT_FALSE(loggedLanguageLines({"First language"}));
    EXPECT_FALSE(control->m_LangDict);

    requestWithLanguage("second");
    EXPECT_EQ(control->MapLangString("CM_UPDATER_STR_OK"), "Second OK");
    EXPECT_EQ(control->m_CurLang, "second");
}

TEST_F(LanguageTest, AZeroByteEndsTheTable) {
    startWith("cut");
    EXPECT_EQ(control->m_CurLang, "cut");
    EXPECT_EQ(control->MapLangString("CM_UPDATER_STR_OK"), "Cut OK");
    logSink->clear();
    EXPECT_EQ(control->MapLangString("CM_UPDATER_STR_CANCEL"), "CM_UPDATER_STR_CANCEL");
    EXPECT_EQ(logSink->lines(), Strings{"The value for CM_UPDATER_STR_CANCEL is nil."});
}

TEST_F(LanguageTest, AMissingKeyShowsItselfAndIsLoggedAtEveryLookup) {
    startWith("first");
    EXPECT_EQ(nilLines(), 0u); // the windows' keys are all in the file
    logSink->clear();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(control->MapLangString("CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR"),
                  "CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR");
    EXPECT_EQ(logSink->count("The value for CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR is nil."), 2u);
    EXPECT_EQ(logSink->lines().size(), 2u);
}

TEST_F(LanguageTest, ATableWithoutTheLanguageKeyLogsTheKey) {
    startWith("plain");
    EXPECT_EQ(control->m_CurLang, "plain");
    EXPECT_EQ(titleOf("m_WaitWnd"), "CM_UPDATER_CAPTION_STR");
    EXPECT_EQ(windows.button("m_WaitOKBtn")->title(), "Plain OK");
    logSink->clear();
    control->LoadLanguage("first", 1);
    control->LoadLanguage("plain", 1);
    const Strings lines = logSink->lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "The value for Language is nil.");
    EXPECT_EQ(lines.back(), "Language");
}

TEST_F(LanguageTest, UpdateButtonReadsOKOnlyOnceTheCycleHasFinished) {
    startWith("first");
    const char* names[] = {"second", "first"};
    for (std::int32_t state = STATE_IDLE; state <= STATE_FINISHED; ++state) {
        control->m_UpdateState = state;
        const std::string name = names[state % 2];
        control->LoadLanguage(name, 1);
        const std::string prefix = state % 2 ? "First" : "Second";
        EXPECT_EQ(windows.button("m_OKCancelBtn")->title(),
                  prefix + (state == STATE_FINISHED ? " OK" : " Cancel"))
            << "state " << state;
    }
    control->m_UpdateState = STATE_IDLE;
}

// A table with columns of its own choosing that records the headers it is given.
class RecordingTable : public platform::PackageTable {
public:
    explicit RecordingTable(Strings identifiers) : m_identifiers(std::move(identifiers)) {}
    const std::string& name() const override { return m_name; }
    void setDataSource(platform::TableDataSource*) override {}
    void setAction(Action) override {}
    void reloadData() override {}
    void deselectAll() override {}
    int selectedRow() const override { return -1; }
    int clickedRow() const override { return -1; }
    int clickedColumn() const override { return -1; }
    int columnWithIdentifier(std::string_view identifier) const override {
        for (std::size_t i = 0; i < m_identifiers.size(); ++i)
            if (m_identifiers[i] == identifier)
                return static_cast<int>(i);
        return -1;
    }
    std::string columnIdentifier(int column) const override {
        if (column < 0 || static_cast<std::size_t>(column) >= m_identifiers.size())
            return {};
        return m_identifiers[static_cast<std::size_t>(column)];
    }
    void setColumnHeader(std::string_view identifier, std::string_view title) override {
        headers.push_back(std::string(identifier) + "=" + std::string(title));
    }
    Strings headers;

private:
    std::string m_name = "m_PackageListView";
    Strings m_identifiers;
};

TEST_F(LanguageTest, ColumnsWithOtherIdentifiersKeepTheirHeaders) {
    startWith("first");
    RecordingTable table(
        {"Notes", "checkstate", "Version", "Kind", "Size", "PriorityFlag", "size"});
    platform::PackageTable* const original = control->m_PackageListView;
    control->m_PackageListView = &table;

    control->LoadLanguage("second", 1);
    control->m_PackageListView = original;

    EXPECT_EQ(table.headers, (Strings{"checkstate=Second kind", "Version=Second version",
                                      "Size=Second size", "PriorityFlag=Second priority"}));
}

// Run under the thread sanitizer as well: lookups on other threads while the UI thread
// replaces the table over and over.
TEST_F(LanguageTest, LookupsOnOtherThreadsRaceReloadsSafely) {
    startWith("first");
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::atomic<long> lookups{0};
    std::atomic<long> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            started.fetch_add(1);
            while (!stop.load()) {
                const std::string ok = control->MapLangString(langkey::CM_UPDATER_STR_OK);
                const std::string caption = control->MapLangString(langkey::CM_UPDATER_CAPTION_STR);
                if ((ok != "First OK" && ok != "Second OK") ||
                    (caption != "First caption" && caption != "Second caption"))
                    wrong.fetch_add(1);
                lookups.fetch_add(1);
            }
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (started.load() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(started.load(), 4);

    for (int i = 0; i < 200; ++i)
        control->LoadLanguage(i % 2 ? "first" : "second", 1);
    // Let the readers see the final table too before they stop.
    const long before = lookups.load();
    while (lookups.load() < before + 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    stop = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GE(lookups.load(), before + 4);
    EXPECT_EQ(control->MapLangString(langkey::CM_UPDATER_STR_OK), "First OK");
    EXPECT_EQ(nilLines(), 0u);
}

} // namespace
} // namespace tallowick
