// New-version evaluation: stale downloads, LastDownload.plist, the package list and the windows.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CatalogueTestSupport.h"
#include "ControllerFixture.h"
#include "FakeAgent.h"
#include "core/UpdateControl.h"

namespace tallowick::test {
namespace {

using plist::Array;
using plist::Dictionary;

constexpr const char* kLastDownload = "/System/Library/ModemList/LastDownload.plist";
constexpr const char* kDownload = "/System/Library/Auto_Update/download";

const std::vector<std::string> kPackageFiles = {"CMUpdatePackage.zip.tmp", "CMUpdatePackage.zip",
                                                "FirmwareUpdatePackage.zip.tmp",
                                                "FirmwareUpdatePackage.zip"};

class NewVersionTest : public ControllerFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs.createDirectories(kDownload));
        ASSERT_TRUE(fs.createDirectories("/System/Library/ModemList"));
        startController();
        lastDownloadWrites.emplace(root.path() + "/System/Library/ModemList", "LastDownload.plist");
    }

    void describe(const std::string& dataFile) { installData(fs, dataFile, kDescriptionPath); }
    // Installing goes through a rename too: the counter starts afresh after it.
    void lastDownload(const std::string& dataFile) {
        installData(fs, dataFile, kLastDownload);
        lastDownloadWrites.emplace(root.path() + "/System/Library/ModemList", "LastDownload.plist");
    }
    void present(const std::vector<std::string>& names) {
        for (const std::string& name : names)
            ASSERT_TRUE(fs.writeFileAtomically(std::string(kDownload) + "/" + name, "zip"));
    }
    std::set<std::string> packageFilesLeft() const {
        std::set<std::string> left;
        for (const std::string& name : kPackageFiles)
            if (fs.fileExists(std::string(kDownload) + "/" + name))
                left.insert(name);
        return left;
    }
    std::optional<Dictionary> lastDownloadContent() const {
        const std::optional<std::string> bytes = fs.readFile(kLastDownload);
        if (!bytes)
            return std::nullopt;
        const std::optional<plist::Value> value = plist::parse(*bytes);
        if (!value || !value->asDictionary())
            return std::nullopt;
        return *value->asDictionary();
    }
    void startManualCheck() {
        send(updateMessage(UPDATE_MODE_MANUAL));
        ASSERT_EQ(control->m_UpdateState, STATE_CHECKING);
        ASSERT_TRUE(control->m_WaitWnd->isVisible());
    }
    std::string offerText(const std::string& version, const std::string& description) {
        return control->MapLangString("CM_UPDATER_CONFIRM_UPDATE_STR") + "\r\n\r\n" +
               control->MapLangString("CM_UPDATER_VERSION_STR") + ":" + version + "\r\n" +
               control->MapLangString("CM_UPDATER_DESCRIPTION_STR") + ":" + description + "\r\n";
    }

    std::optional<ReplacementCounter> lastDownloadWrites;
};

// ---- the stale-package rule ------------------------------------------------------------------

struct StaleCase {
    const char* name;
    const char* lastDownload; // data file, or none
    const char* description;
    std::vector<std::string> present;
    std::set<std::string> removed;
    std::vector<std::string> printed;
    int writes;
};

void PrintTo(const StaleCase& c, std::ostream* os) {
    *os << c.name;
}

class StalePackageRule : public NewVersionTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StalePackageRule, RemovesPrintsAndRecords) {
    const StaleCase& c = GetParam();
    describe(c.description);
    std::string lastBefore;
    if (c.lastDownload) {
        lastDownload(c.lastDownload);
        lastBefore = *fs.readFile(kLastDownload);
    }
    present(c.present);

    control->HaveNewVersion();

    std::set<std::string> expectedLeft(c.present.begin(), c.present.end());
    for (const std::string& name : c.removed)
        expectedLeft.erase(name);
    EXPECT_EQ(packageFilesLeft(), expectedLeft);
    EXPECT_EQ(logSink->putsLines(), c.printed);
    EXPECT_EQ(lastDownloadWrites->count(), c.writes);
    if (c.writes > 0)
        EXPECT_EQ(lastDownloadContent(), control->m_DescriptDic);
    else
        EXPECT_EQ(fs.readFile(kLastDownload), lastBefore);
}

const char* const kNothing = "To do nothong!";
const char* const kNothingToDelete = "Have nothing should be deleted!";

INSTANTIATE_TEST_SUITE_P(
    Cases, StalePackageRule,
    ::testing::Values(
        StaleCase{"FirstRunWithoutLastDownload",
                  nullptr,
                  "stale-description-current.xml",
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip.tmp"},
                  {},
                  {},
                  1},
        StaleCase{"SameVersions",
                  "stale-last-same.plist",
                  "stale-description-current.xml",
                  {"CMUpdatePackage.zip.tmp", "CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {},
                  {kNothing, kNothing},
                  0},
        // "2.00" before, "2.0" now: the comparison is on the exact text
        StaleCase{"DashboardChangedOnly",
                  "stale-last-dashboard-changed.plist",
                  "stale-description-current.xml",
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {"CMUpdatePackage.zip"},
                  {kNothing},
                  1},
        StaleCase{"PartialAndCompletePackagePresent",
                  "stale-last-dashboard-changed.plist",
                  "stale-description-current.xml",
                  {"CMUpdatePackage.zip.tmp", "CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {"CMUpdatePackage.zip.tmp"},
                  {kNothing},
                  1},
        StaleCase{"NothingToDelete",
                  "stale-last-both-changed.plist",
                  "stale-description-current.xml",
                  {},
                  {},
                  {kNothingToDelete, kNothingToDelete},
                  2},
        // the first entry of a name decides, and one without a Version gives no version
        StaleCase{"FirstMatchingEntryDecides",
                  "stale-last-first-match-decides.plist",
                  "stale-description-current.xml",
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {},
                  2},
        StaleCase{
            "UnreadableLastDownload",
            "stale-last-unreadable.plist",
            "stale-description-current.xml",
            {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip.tmp", "FirmwareUpdatePackage.zip"},
            {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip.tmp"},
            {},
            2},
        // an empty dictionary: no new versions, so both downloads go
        StaleCase{"UnreadableDescription",
                  "stale-last-same.plist",
                  "not-xml.bin",
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {"CMUpdatePackage.zip", "FirmwareUpdatePackage.zip"},
                  {},
                  2},
        StaleCase{"FailedCheck",
                  "stale-last-same.plist",
                  "failure-with-errmsg.xml",
                  {"CMUpdatePackage.zip.tmp", "FirmwareUpdatePackage.zip"},
                  {"CMUpdatePackage.zip.tmp", "FirmwareUpdatePackage.zip"},
                  {},
                  2}),
    [](const ::testing::TestParamInfo<StaleCase>& param) { return std::string(param.param.name); });

TEST_F(NewVersionTest, UnreadableDescriptionRecordsAnEmptyDictionaryAndOffersNothing) {
    describe("not-xml.bin");
    lastDownload("stale-last-same.plist");
    control->HaveNewVersion();
    EXPECT_EQ(lastDownloadContent(), Dictionary{});
    EXPECT_EQ(control->m_UpdateState, STATE_NEW_VERSION);
    EXPECT_EQ(control->m_PackageInfoView->string(), offerText("", ""));
    EXPECT_TRUE(control->m_PackageList.empty());
    EXPECT_EQ(control->m_PackageDeviceType, "");
}

// ---- the early steps -----------------------------------------------------------------------

TEST_F(NewVersionTest, CancelledManualCheckChangesNothing) {
    startManualCheck();
    control->m_WaitInfoCanceled = true;
    control->m_WaitOKBtnState = false;
    describe("package-form.xml");
    present({"CMUpdatePackage.zip.tmp"});

    control->HaveNewVersion();
    EXPECT_EQ(loop.validTimerCount(), 1u);
    EXPECT_FALSE(control->m_WaitOKBtnState);
    EXPECT_FALSE(fs.fileExists(kLastDownload));
    EXPECT_TRUE(control->m_DescriptDic.empty());
    EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
    EXPECT_FALSE(control->m_UpdateInfoWnd->isVisible());
    EXPECT_EQ(packageFilesLeft(), std::set<std::string>{"CMUpdatePackage.zip.tmp"});

    // Only a manual check is skipped.
    control->m_UpdateMode = UPDATE_MODE_AUTO;
    control->HaveNewVersion();
    EXPECT_EQ(lastDownloadWrites->count(), 1);
    EXPECT_EQ(loop.validTimerCount(), 0u);
}

TEST_F(NewVersionTest, MissingDescriptionEndsTheCheckAndLeavesFilesAlone) {
    startManualCheck();
    lastDownload("stale-last-dashboard-changed.plist");
    present({"CMUpdatePackage.zip"});
    control->m_WaitOKBtnState = false;

    control->HaveNewVersion();
    EXPECT_TRUE(logSink->contains("Function:HaveNewVersion\t\tError:Can not find Description XML"));
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_EQ(loop.validTimerCount(), 0u);
    EXPECT_TRUE(control->m_WaitOKBtnState);
    EXPECT_EQ(control->m_WaitOKBtn->title(), control->MapLangString("CM_UPDATER_STR_OK"));
    EXPECT_EQ(lastDownloadWrites->count(), 0);
    EXPECT_EQ(packageFilesLeft(), std::set<std::string>{"CMUpdatePackage.zip"});
    EXPECT_TRUE(logSink->putsLines().empty());
}

// ---- the check result: Flag messages ---------------------------------------------------------

struct FlagCase {
    const char* description;
    const char* key; // none: nothing shown
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.description;
}

class FlagMessage : public NewVersionTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagMessage, ShowsInTheOpenWaitWindow) {
    const FlagCase& c = GetParam();
    startManualCheck();
    describe(c.description);

    control->HaveNewVersion();
    EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
    EXPECT_TRUE(control->m_WaitWnd->isVisible());
    EXPECT_FALSE(control->m_UpdateInfoWnd->isVisible());
    EXPECT_EQ(loop.validTimerCount(), 0u);
    EXPECT_EQ(control->m_WaitOKBtn->title(), control->MapLangString("CM_UPDATER_STR_OK"));
    if (c.key) {
        EXPECT_EQ(control->m_WaitInfoView->string(), control->MapLangString(c.key));
        EXPECT_TRUE(control->m_WaitOKBtn->isEnabled());
    } else {
        EXPECT_EQ(control->m_WaitInfoView->string(), "");
        EXPECT_FALSE(control->m_WaitOKBtn->isEnabled());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, FlagMessage,
    ::testing::Values(
        FlagCase{"flag-not-a-number.xml", "CM_UPDATER_CHECK_VERSION_FAILED_STR"},
        FlagCase{"failure-without-errmsg.xml", "CM_UPDATER_CHECKSTATE_ILLEGAL_ID_STR"},
        FlagCase{"failure-with-errmsg.xml", "CM_UPDATER_CHECKSTATE_NOTFOUND_PACKAGE_STR"},
        FlagCase{"flag-3.xml", "CM_UPDATER_CHECKSTATE_NOTFOUND_VERSION_STR"},
        FlagCase{"flag-5.xml", nullptr}, FlagCase{"flag-signed-with-blanks.xml", nullptr}));

TEST_F(NewVersionTest, FlagWithoutAnOpenWaitWindowShowsNothing) {
    describe("failure-with-errmsg.xml");

    // automatic check: no window at all
    control->HaveNewVersion();
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    for (platform::Window* window : {control->m_WaitWnd, control->m_UpdateInfoWnd,
                                     control->m_ModuleSelWnd, control->m_UpdateWnd})
        EXPECT_FALSE(window->isVisible()) << window->name();
    EXPECT_EQ(control->m_WaitInfoView->string(), "");

    // manual check whose wait window is hidden
    startManualCheck();
    control->m_WaitWnd->orderOut();
    control->HaveNewVersion();
    EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
    EXPECT_EQ(control->m_WaitInfoView->string(), "");
    EXPECT_FALSE(control->m_WaitOKBtn->isEnabled());
}

// ---- the check result: an offer --------------------------------------------------------------

TEST_F(NewVersionTest, AutomaticCheckOpensTheNewVersionWindowWithTheOffer) {
    describe("package-form.xml");
    control->m_UpdateBtn->setEnabled(true);

    control->HaveNewVersion();
    EXPECT_EQ(control->m_UpdateState, STATE_NEW_VERSION);
    EXPECT_TRUE(control->m_UpdateInfoWnd->isVisible());
    EXPECT_FALSE(control->m_WaitWnd->isVisible());
    EXPECT_FALSE(control->m_UpdateBtn->isEnabled());
    EXPECT_EQ(control->m_PackageInfo, offerText("21.3.1", "Faster connection set-up"));
    EXPECT_EQ(control->m_PackageInfoView->string(), control->m_PackageInfo);
    EXPECT_EQ(control->m_PackageDeviceType, "QV230");

    // The package list copies each entry, in order, unticked; the description keeps its own.
    const Array& offered = *control->m_DescriptDic.find("UpdateFile")->asArray();
    ASSERT_EQ(offered.size(), 3u);
    ASSERT_EQ(control->m_PackageList.size(), 3u);
    for (std::size_t i = 0; i < offered.size(); ++i) {
        Dictionary expected = *offered[i].asDictionary();
        EXPECT_FALSE(expected.contains("checkstate"));
        expected.set("checkstate", false);
        EXPECT_EQ(*control->m_PackageList[i].asDictionary(), expected) << i;
    }
}

TEST_F(NewVersionTest, ManualCheckReplacesTheWaitWindowWithTheNewVersionWindow) {
    describe("package-form.xml");
    for (const bool waitVisible : {true, false}) {
        SCOPED_TRACE(waitVisible ? "wait window open" : "wait window hidden");
        control->m_UpdateState = STATE_IDLE;
        control->m_UpdateInfoWnd->orderOut();
        startManualCheck();
        if (!waitVisible)
            control->m_WaitWnd->orderOut();

        control->HaveNewVersion();
        EXPECT_EQ(control->m_UpdateState, STATE_NEW_VERSION);
        EXPECT_FALSE(control->m_WaitWnd->isVisible());
        EXPECT_TRUE(control->m_UpdateInfoWnd->isVisible());
        EXPECT_EQ(loop.validTimerCount(), 0u);
    }
}

TEST_F(NewVersionTest, OfferDuringALaterStateRebuildsTheListButKeepsTheWindows) {
    describe("package-form.xml");
    control->m_UpdateState = STATE_DOWNLOADING;
    control->m_PackageList = Array{Dictionary{{"Filename", "old"}}};

    control->HaveNewVersion();
    EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
    EXPECT_FALSE(control->m_UpdateInfoWnd->isVisible());
    EXPECT_EQ(control->m_PackageInfoView->string(), "");
    EXPECT_EQ(control->m_PackageList.size(), 3u);
    EXPECT_EQ(control->m_PackageInfo, offerText("21.3.1", "Faster connection set-up"));
    EXPECT_EQ(lastDownloadWrites->count(), 1);
}

TEST_F(NewVersionTest, AgentReportReachesTheControllerOnTheUIThread) {
    describe("package-form.xml");
    startManualCheck();
    fakeagent::fireFromThread([](CMUpdaterInterface& agent) { agent.HaveNewVsersion(); });
    ASSERT_TRUE(runUntil([&] { return control->m_UpdateInfoWnd->isVisible(); }));
    EXPECT_EQ(control->m_UpdateState, STATE_NEW_VERSION);
    EXPECT_FALSE(control->m_WaitWnd->isVisible());
}

} // namespace
} // namespace tallowick::test
