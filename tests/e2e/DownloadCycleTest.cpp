// Downloads from the user's choice to the step after the download, with the real agent.

#include <gtest/gtest.h>

#include <filesystem>

#include "CycleFixture.h"
#include "Texts.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

const std::string kDownload = "/System/Library/Auto_Update/download";

const std::vector<std::string> kTickBothAndUpdate = {
    "wait ^m_UpdateInfoWnd front$", "click m_InfoNextBtn",
    "table m_PackageListView click 0 checkstate", "table m_PackageListView click 1 checkstate",
    "click m_UpdateBtn"};

std::vector<std::string> partialFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".tmp")
            found.push_back(entry.path().filename().string());
    return found;
}

struct SheetCase {
    const char* name;
    bool modem;
    bool dashboardRuns;
    const char* sheet;
};

void PrintTo(const SheetCase& c, std::ostream* os) {
    *os << c.name;
}

class DownloadCycle : public CycleFixture {};
class SheetCycle : public CycleFixture, public ::testing::WithParamInterface<SheetCase> {};

} // namespace

TEST_P(SheetCycle, BothPackagesDownloadThenTheSheetTheModemCallsFor) {
    const SheetCase& c = GetParam();
    std::unique_ptr<BackgroundProgram> runningDashboard;
    if (c.dashboardRuns) {
        runningDashboard = std::make_unique<BackgroundProgram>(
            std::vector<std::string>{binDir() + "/dashboard", "run"},
            std::map<std::string, std::string>{{"TALLOWICK_ROOT", root.path()}});
        platform::FileSystem fs(root.path());
        platform::LockFileWorkspace workspace(fs);
        for (int i = 0; i < 500 && workspace.launchedApplications().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(workspace.launchedApplications().empty())
            << "the dashboard did not announce itself";
    }
    start(kTickBothAndUpdate);
    ASSERT_EQ(dashboard({"update", "--mode", "1", "--device", "QV230", "--device-state",
                         c.modem ? "true" : "false"}),
              0);
    ASSERT_TRUE(trace("^" + std::string(c.sheet) + " sheet begin on=m_UpdateWnd$"));

    const std::string selection = file(kDownload + "/UserSelection.xml");
    EXPECT_NE(selection.find("FirmwareUpdatePackage.zip"), std::string::npos) << selection;
    EXPECT_NE(selection.find("CMUpdatePackage.zip"), std::string::npos) << selection;
    EXPECT_TRUE(exists(kDownload + "/FirmwareUpdatePackage.zip"));
    EXPECT_TRUE(exists(kDownload + "/CMUpdatePackage.zip"));
    EXPECT_TRUE(partialFiles(root.path() + kDownload).empty());
    EXPECT_TRUE(trace("^m_ProcessInfoView text=\"Downloading "
                      "FirmwareUpdatePackage.zip\\\\r\\\\nDownloading CMUpdatePackage.zip\"$"));
    EXPECT_TRUE(trace("^m_ProcessBar redraw value=100$"));
    EXPECT_TRUE(trace("^m_DownLoadText text=.* color=magenta$"));
    EXPECT_TRUE(trace("^m_OKCancelBtn title=.* enabled=0$"));
    for (const char* other : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
        if (std::string(other) != c.sheet) {
            EXPECT_EQ(traceCount("^" + std::string(other) + " sheet begin"), 0u) << other;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Modems, SheetCycle,
    ::testing::Values(SheetCase{"NoModem", false, false, "m_FirmwareCancelWnd"},
                      SheetCase{"ModemAndDashboardRunning", true, true, "m_CloseUIWnd"},
                      SheetCase{"Modem", true, false, "m_MakeSureModemWnd"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DownloadCycle, AFailedDownloadShowsItsLineAndOKEndsTheCycle) {
    setAgent("Faults", "FailDownloadAtPercent=50");
    auto steps = kTickBothAndUpdate;
    steps.push_back("wait ^m_OKCancelBtn title=\"" + en("CM_UPDATER_STR_OK") + "\" enabled=1$");
    steps.push_back("click m_OKCancelBtn");
    start(steps);
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_UpdateWnd hidden$"));
    EXPECT_TRUE(trace("^m_ProcessInfoView text=.*" +
                      literal(en("CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR")) + "\"$"));
    EXPECT_TRUE(program.waitForLog("^Update:DownLoad failed!$"));
    for (const auto& line : agentJournal())
        EXPECT_NE(line, "StopDownload") << "a failed download is not stopped";
    // The cycle has ended: the next request is taken.
    ASSERT_EQ(request(0), 0);
    EXPECT_TRUE(traceTimes("^m_UpdateInfoWnd front$", 2));
}

TEST_F(DownloadCycle, CancelDuringASlowDownloadStopsItAndLeavesNoPartialFile) {
    setAgent("Faults", "SlowChunkMs=5000");
    auto steps = kTickBothAndUpdate;
    steps.push_back("wait ^m_ProcessBar value=");
    steps.push_back("click m_OKCancelBtn");
    start(steps);
    ASSERT_EQ(request(1), 0);
    ASSERT_TRUE(trace("^m_UpdateWnd hidden$"));
    const auto journal = agentJournal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "StopDownload"), journal.end());
    EXPECT_TRUE(partialFiles(root.path() + kDownload).empty());
    EXPECT_FALSE(exists(kDownload + "/CMUpdatePackage.zip"));
    EXPECT_EQ(traceCount("sheet begin"), 0u);
    EXPECT_EQ(program.stop(), 0);
}

TEST_F(DownloadCycle, FiftyCyclesInARow) {
    // Check, select, download, cancel, fifty times, with the agent's threads at work; the
    // sanitizer builds run this too.
    setAgent("Faults", "SlowChunkMs=2000");
    std::vector<std::string> steps;
    for (int i = 0; i < 50; ++i) {
        steps.insert(steps.end(),
                     {"wait ^m_UpdateInfoWnd front$", "click m_InfoNextBtn",
                      "table m_PackageListView click 0 checkstate", "click m_UpdateBtn",
                      "click m_OKCancelBtn", "wait ^m_UpdateWnd hidden$"});
    }
    start(steps);
    for (std::size_t i = 1; i <= 50; ++i) {
        ASSERT_EQ(request(1), 0) << "cycle " << i;
        ASSERT_TRUE(traceTimes("^m_UpdateWnd hidden$", i)) << "cycle " << i;
    }
    EXPECT_EQ(traceCount("^m_UpdateWnd hidden$"), 50u);
    EXPECT_EQ(program.stop(), 0);
    for (const auto& line : program.logLines())
        EXPECT_EQ(line.find("ThreadSanitizer"), std::string::npos) << line;
}
