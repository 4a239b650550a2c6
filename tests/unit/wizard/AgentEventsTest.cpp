#include <gtest/gtest.h>

#include "WizardFixture.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

class AgentEventsTest : public WizardFixture {};

} // namespace

TEST_F(AgentEventsTest, CheckStatesShowInTheWaitWindowAndThreeEndTheWait) {
    struct Case {
        int state;
        const char* key;
        bool ends;
    };
    const Case cases[] = {
        {1, "CM_UPDATER_CHECKSTATE_LOCALVERSION_STR", false},
        {2, "CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR", false},
        {3, "CM_UPDATER_CHECKSTATE_DOWNLOADING_STR", false},
        {4, "CM_UPDATER_CHECKSTATE_DOWNLOADSUCCEED_STR", false},
        {5, "CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR", true},
        {6, "CM_UPDATER_CHECKSTATE_DOWNLOADREFUSED_STR", true},
        {7, "CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        control->m_UpdateState = STATE_IDLE;
        send(updateMessage(1));
        control->m_WaitOKBtnState = false;
        control->ManualUpdateState(c.state);
        EXPECT_EQ(set().m_WaitInfoView->string(), control->MapLangString(c.key));
        EXPECT_EQ(set().m_WaitOKBtn->isEnabled(), c.ends);
        EXPECT_EQ(control->m_WaitInfoTimeOut == nullptr, c.ends);
        EXPECT_EQ(loop.validTimerCount(), c.ends ? 0u : 1u);
        EXPECT_EQ(control->m_WaitOKBtnState, c.ends);
        EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
        if (c.ends) {
            EXPECT_EQ(set().m_WaitOKBtn->title(), control->MapLangString("CM_UPDATER_STR_OK"));
        }
        control->ResetUpdateProcess();
        if (control->m_WaitInfoTimeOut)
            control->m_WaitInfoTimeOut->invalidate();
    }
}

TEST_F(AgentEventsTest, CheckStatesAreIgnoredWhenIdleCanceledOrUnknown) {
    send(updateMessage(1));
    set().m_WaitInfoView->setString("before");
    traced.clear();
    for (int state : {0, 8, -1, 100})
        control->ManualUpdateState(state);
    control->m_WaitInfoCanceled = true;
    control->ManualUpdateState(5);
    control->m_WaitInfoCanceled = false;
    control->m_UpdateState = STATE_IDLE;
    control->ManualUpdateState(5);
    EXPECT_TRUE(traced.lines().empty());
    EXPECT_EQ(loop.validTimerCount(), 1u);

    // Outside the check the hidden wait window's text still follows.
    control->m_UpdateState = STATE_DOWNLOADING;
    set().m_WaitWnd->orderOut();
    control->ManualUpdateState(2);
    EXPECT_EQ(set().m_WaitInfoView->string(),
              control->MapLangString("CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR"));
    EXPECT_FALSE(set().m_WaitWnd->isVisible());
}

TEST_F(AgentEventsTest, AFailedDownloadShowsItsLineAndLetsTheUserEndTheCycle) {
    startDownload({{"FirmwareUpdatePackage.zip"}}, {0});
    traced.clear();
    control->DownloadFinished(false);
    control->DownloadFinished(false);
    const std::string failed = control->MapLangString("CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR");
    EXPECT_EQ(control->m_ProcessViewList, std::vector<std::string>{failed});
    EXPECT_EQ(logSink->count("Update:DownLoad failed!"), 2u);
    EXPECT_TRUE(control->m_isDownfailed);
    EXPECT_EQ(set().m_ProcessBar->doubleValue(), 100.0);
    EXPECT_FALSE(traced.contains("m_ProcessBar redraw value=100"));
    EXPECT_TRUE(set().m_OKCancelBtn->isEnabled());
    EXPECT_EQ(set().m_OKCancelBtn->title(), control->MapLangString("CM_UPDATER_STR_OK"));
    EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
}

TEST_F(AgentEventsTest, ASuccessfulDownloadGoesOnByModuleAndModem) {
    struct Case {
        const char* name;
        std::vector<int> ticks;
        bool modem;
        const char* deviceType;
        bool dashboardRuns;
        const char* sheet; // or nullptr
    };
    const Case cases[] = {
        {"firmware, no modem", {0}, false, "QV230", false, "m_FirmwareCancelWnd"},
        {"firmware, other modem", {0}, true, "QV240", false, "m_FirmwareCancelWnd"},
        {"firmware, modem, dashboard runs", {0}, true, "QV230", true, "m_CloseUIWnd"},
        {"firmware, modem", {0}, true, "QV230", false, "m_MakeSureModemWnd"},
        {"both, modem, dashboard runs", {0, 1}, true, "QV230", true, "m_CloseUIWnd"},
        {"both, no modem", {0, 1}, false, "", true, "m_FirmwareCancelWnd"},
        {"dashboard only", {1}, false, "", false, nullptr},
        {"nothing known", {2}, true, "QV230", false, nullptr},
    };
    const std::vector<Package> packages{
        {"FirmwareUpdatePackage.zip"}, {"CMUpdatePackage.zip"}, {"Other.zip"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* w : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
            windows.window(w)->orderOut();
        control->m_UpdateState = STATE_IDLE;
        startDownload(packages, c.ticks);
        control->m_haveDevice = c.modem;
        control->m_DeviceType = c.deviceType;
        workspace.bundleIdentifiers.clear();
        if (c.dashboardRuns)
            workspace.bundleIdentifiers.push_back("com.brenlo.USBMODEM");
        traced.clear();
        control->DownloadFinished(true);
        EXPECT_TRUE(traced.contains("m_ProcessBar redraw value=100"));
        EXPECT_FALSE(set().m_OKCancelBtn->isEnabled());
        for (const char* w : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
            EXPECT_EQ(windows.window(w)->isVisible(), c.sheet && std::string(w) == c.sheet) << w;
        if (c.sheet) {
            EXPECT_TRUE(traced.contains(std::string(c.sheet) + " sheet begin on=m_UpdateWnd"));
        }
        EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
        control->ResetUpdateProcess();
    }
}

TEST_F(AgentEventsTest, DownloadEndsOutsideTheDownloadAreIgnored) {
    offer({{"FirmwareUpdatePackage.zip"}});
    click("m_InfoNextBtn");
    traced.clear();
    control->DownloadFinished(true);
    control->DownloadFinished(false);
    EXPECT_TRUE(traced.lines().empty());
    EXPECT_FALSE(control->m_isDownfailed);
}

TEST_F(AgentEventsTest, DownloadProgressAddsOneLinePerTextAndMovesTheBar) {
    startDownload({{"FirmwareUpdatePackage.zip"}}, {0});
    traced.clear();
    control->DownloadProcess(std::string("Downloading"), 10);
    control->DownloadProcess(std::string("Downloading"), 20);
    EXPECT_EQ(control->m_ProcessViewList, std::vector<std::string>{"Downloading"});
    EXPECT_EQ(set().m_ProcessBar->doubleValue(), 20.0);
    EXPECT_FALSE(traced.contains("m_ProcessBar redraw value=20"));
    // Progress is shown in any state.
    control->m_UpdateState = STATE_IDLE;
    control->DownloadProcess(std::string("late"), 30);
    EXPECT_EQ(control->m_ProcessViewList.back(), "late");
}
