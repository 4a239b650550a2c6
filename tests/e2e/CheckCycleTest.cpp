// Version checks from the dashboard's request to the offer, with the real agent and server.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CycleFixture.h"
#include "Texts.h"

using namespace tallowick::test;

namespace {

class CheckCycle : public CycleFixture {};

const std::string kFirmwareVersion = "21.230.07.00.00";

} // namespace

TEST_F(CheckCycle, AManualRequestShowsTheAgentsStatesThenTheOffer) {
    start({"wait ^m_UpdateInfoWnd front$", "click m_InfoNextBtn"});
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_WaitWnd front$"));
    EXPECT_TRUE(trace(shows("m_WaitInfoView", en("CM_UPDATER_CHECKSTATE_LOCALVERSION_STR"))));
    EXPECT_TRUE(trace(shows("m_WaitInfoView", en("CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR"))));
    ASSERT_TRUE(trace("^m_UpdateInfoWnd front$"));
    EXPECT_TRUE(trace("^m_WaitWnd hidden$"));
    EXPECT_TRUE(trace("^m_PackageInfoView text=\"" + literal(en("CM_UPDATER_CONFIRM_UPDATE_STR")) +
                      ".*" + literal(kFirmwareVersion)));
    ASSERT_TRUE(trace("^m_ModuleSelWnd front$"));
    EXPECT_TRUE(trace("^m_PackageListView row=0 checkstate=0 title=\"FirmwareUpdatePackage.zip\" "
                      "Version=\"" +
                      literal(kFirmwareVersion) + "\""));
    EXPECT_TRUE(trace("^m_PackageListView row=1 checkstate=0 title=\"CMUpdatePackage.zip\""));
    EXPECT_TRUE(exists("/System/Library/Auto_Update/download/Description.xml"));
    EXPECT_EQ(program.stop(), 0);
}

TEST_F(CheckCycle, AnAutomaticRequestOpensTheOfferDirectly) {
    start({});
    ASSERT_EQ(request(0), 0);
    ASSERT_TRUE(trace("^m_UpdateInfoWnd front$"));
    EXPECT_EQ(traceCount("^m_WaitWnd front$"), 0u);
}

struct FlagCase {
    int flag;
    const char* key;
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << "Flag " << c.flag;
}

class FlagCycle : public CycleFixture, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagCycle, AFailedCheckShowsItsTextAndLetsTheUserClose) {
    const auto [flag, key] = GetParam();
    setAgent("Faults", "CheckFlag=" + std::to_string(flag));
    start({"wait ^m_WaitOKBtn title=.* enabled=1$", "click m_WaitOKBtn"});
    ASSERT_EQ(request(1), 0);
    EXPECT_TRUE(trace(shows("m_WaitInfoView", en(key))));
    EXPECT_TRUE(trace("^m_WaitOKBtn title=" + literal("\"" + en("CM_UPDATER_STR_OK") + "\"") +
                      " enabled=1$"));
    EXPECT_TRUE(trace("^m_WaitWnd hidden$"));
    EXPECT_EQ(traceCount("^m_UpdateInfoWnd front$"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, FlagCycle,
    ::testing::Values(FlagCase{0, "CM_UPDATER_CHECK_VERSION_FAILED_STR"},
                      FlagCase{1, "CM_UPDATER_CHECKSTATE_ILLEGAL_ID_STR"},
                      FlagCase{2, "CM_UPDATER_CHECKSTATE_NOTFOUND_PACKAGE_STR"},
                      FlagCase{3, "CM_UPDATER_CHECKSTATE_NOTFOUND_VERSION_STR"}),
    [](const auto& p) { return "Flag" + std::to_string(p.param.flag); });

TEST_F(CheckCycle, ADeviceTypeWithoutPackagesGetsTheNotFoundText) {
    start({});
    ASSERT_EQ(request(1, "QV999"), 0);
    EXPECT_TRUE(trace(shows("m_WaitInfoView", en("CM_UPDATER_CHECKSTATE_NOTFOUND_PACKAGE_STR"))));
}

TEST_F(CheckCycle, ACheckThatNeverReportsLeavesTheWaitWindowUp) {
    setAgent("Faults", "NeverReport=true");
    start({});
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_WaitWnd front$"));
    EXPECT_TRUE(program.waitForLog("^Update Command$"));
    // Nothing more comes: give the agent a moment to prove it.
    EXPECT_FALSE(trace("^m_(UpdateInfoWnd front|WaitWnd hidden)$", 1.5));
    const auto lines = program.traceLines();
    const auto front = std::find(lines.begin(), lines.end(), "m_WaitWnd front");
    ASSERT_NE(front, lines.end());
    EXPECT_EQ(front + 1, lines.end()) << "the wait window stays as it came up: " << lines.back();
}

TEST_F(CheckCycle, TheWaitCannotBeDismissedWhileItsCheckRuns) {
    // The wait window's button stays disabled until the check ends, so a click on it does
    // nothing and the late result still opens the offer.
    setAgent("Faults", "CheckDelayMs=700");
    start({"wait ^m_WaitWnd front$", "click m_WaitOKBtn"});
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_UpdateInfoWnd front$"));
    EXPECT_EQ(traceCount("^m_WaitOKBtn clicked$"), 0u);
}

TEST_F(CheckCycle, LateStatesAfterTheOfferChangeNothingVisible) {
    setAgent("Faults", "NewVersionBeforeStates=true");
    start({});
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_UpdateInfoWnd front$"));
    EXPECT_TRUE(trace(shows("m_WaitInfoView", en("CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR"))));
    EXPECT_EQ(traceCount("^m_WaitWnd front$"), 1u);
    const auto lines = program.traceLines();
    EXPECT_EQ(lines.back().rfind("m_WaitInfoView", 0), 0u) << "only the hidden wait text changed";
}

TEST_F(CheckCycle, LastDownloadAndStaleDownloadsAcrossTwoChecks) {
    const std::string download = "/System/Library/Auto_Update/download";
    start({"wait ^m_UpdateInfoWnd front$", "click m_InfoCancelBtn", "wait ^m_UpdateInfoWnd front$",
           "click m_InfoCancelBtn"});
    ASSERT_EQ(request(0), 0);
    ASSERT_TRUE(trace("^m_UpdateInfoWnd hidden$"));
    ASSERT_TRUE(program.waitForLog("Update Command"));
    EXPECT_NE(file("/System/Library/ModemList/LastDownload.plist").find(kFirmwareVersion),
              std::string::npos);
    EXPECT_EQ(program.standardOutput(), "") << "the first check deletes nothing";

    // A partial firmware download and a complete dashboard package lie in the folder; the
    // server now offers a new firmware and the same dashboard.
    std::ofstream(root.path() + download + "/FirmwareUpdatePackage.zip.tmp") << "partial";
    std::ofstream(root.path() + download + "/FirmwareUpdatePackage.zip") << "old firmware";
    std::ofstream(root.path() + download + "/CMUpdatePackage.zip") << "dashboard";
    const std::string server = root.path() + "/srv/update/QV230/Description.xml";
    std::string description = file("/srv/update/QV230/Description.xml");
    for (std::size_t at; (at = description.find(kFirmwareVersion)) != std::string::npos;)
        description.replace(at, kFirmwareVersion.size(), "21.230.08.00.00");
    std::ofstream(server, std::ios::trunc) << description;

    ASSERT_EQ(request(0), 0);
    ASSERT_TRUE(traceTimes("^m_UpdateInfoWnd hidden$", 2));
    EXPECT_FALSE(exists(download + "/FirmwareUpdatePackage.zip.tmp"))
        << "the stale partial download goes";
    EXPECT_TRUE(exists(download + "/FirmwareUpdatePackage.zip")) << "one file per package per run";
    EXPECT_TRUE(exists(download + "/CMUpdatePackage.zip")) << "the dashboard did not change";
    EXPECT_EQ(program.standardOutput(), "To do nothong!\n");
    EXPECT_NE(file("/System/Library/ModemList/LastDownload.plist").find("21.230.08.00.00"),
              std::string::npos);
}
