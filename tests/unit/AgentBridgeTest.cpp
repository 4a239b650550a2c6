#include <gtest/gtest.h>

#include "ControllerFixture.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

class AgentBridgeTest : public ControllerFixture {};

} // namespace

TEST_F(AgentBridgeTest, SetsUpTheAgentInOrderAndPublishesTheController) {
    startController();
    EXPECT_EQ(
        fakeagent::calls(),
        (std::vector<std::string>{
            "GetUpdateAgentInterface", "RegisterCMUpdaterInterface", "GetUpdateAgentInterface",
            "SetFilePath /System/Library/ModemList/Update/UpdateCfg.ini", "Init"}));
    const auto lines = logSink->lines();
    const std::vector<std::string> setUp(lines.begin(), lines.begin() + 3);
    EXPECT_EQ(setUp,
              (std::vector<std::string>{"GetUpdateAgentInterface!", "Register CMUpdaterInterface!",
                                        "GetUpdateAgentInterface!"}));
    EXPECT_EQ(pUpdateControl.load(), control.get());
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_EQ(control->m_SelectedModule, MODULE_NONE);
    EXPECT_FALSE(control->m_WaitOKBtnState);
    EXPECT_FALSE(control->m_WaitInfoCanceled);

    fakeagent::reset();
    control.reset();
    EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"UnInit"});
    EXPECT_EQ(pUpdateControl.load(), nullptr);
    EXPECT_EQ(fakeagent::registered(), nullptr);
}

TEST_F(AgentBridgeTest, CallbacksLogOnTheAgentThreadAndRunTheirWorkOnTheUIThread) {
    startController();
    send(updateMessage(1));
    logSink->clear();
    fakeagent::fireFromThread([&](CMUpdaterInterface& agent) {
        agent.SetNowDownloadStatus(static_cast<_CheckVersionState>(0));
        agent.SetNowDownloadStatus(static_cast<_CheckVersionState>(8));
        agent.SetNowDownloadStatus(CHECKSTATE_DOWNLOADING);
        agent.DownloadFinished(false);
        agent.DownloadFinished(true);
    });
    // The lines are written at once, on the calling thread; the work waits for the UI thread.
    EXPECT_EQ(logSink->lines(), (std::vector<std::string>{
                                    "Enter the download status:0", "Enter the download status:8",
                                    "Enter the download status:3",
                                    "Enter the call back finish function with result:0",
                                    "Enter the call back finish function with result:1"}));
    EXPECT_EQ(windows.windowSet().m_WaitInfoView->string(), "");
    loop.runPending();
    EXPECT_EQ(windows.windowSet().m_WaitInfoView->string(),
              control->MapLangString("CM_UPDATER_CHECKSTATE_DOWNLOADING_STR"));
}

TEST_F(AgentBridgeTest, DownloadReportsKeepTheirOrderAndAFloodIsCoalesced) {
    startController();
    control->m_UpdateState = STATE_DOWNLOADING;
    char a[] = "Downloading FirmwareUpdatePackage.zip";
    char b[] = "Downloading CMUpdatePackage.zip";
    char invalid[] = "\xff\xfe not UTF-8";
    fakeagent::fireFromThread([&](CMUpdaterInterface& agent) {
        for (int i = 0; i <= 100; ++i)
            agent.DownloadProcess(i < 50 ? a : b, i);
        agent.DownloadProcess(nullptr, 100);
        agent.DownloadProcess(invalid, 100);
        agent.DownloadProcess(a, 42);
        agent.DownloadFinished(false);
        agent.DownloadProcess(a, 7);
    });
    // One task drains everything that arrived, in order.
    EXPECT_EQ(loop.runPending(), 1u);
    const std::string failed = control->MapLangString("CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR");
    EXPECT_EQ(control->m_ProcessViewList, (std::vector<std::string>{a, b, a, failed, a}));
    EXPECT_EQ(windows.windowSet().m_ProcessBar->doubleValue(), 7.0);
    EXPECT_TRUE(control->m_isDownfailed);
    // The bar took the flood's last value before the failure set it to 100.
    EXPECT_TRUE(traced.contains("m_ProcessBar value=42"));
    EXPECT_FALSE(traced.contains("m_ProcessBar value=3"));
}

TEST_F(AgentBridgeTest, ReportsQueuedBeforeTheControllerWentAwayAreDropped) {
    startController();
    control->m_UpdateState = STATE_DOWNLOADING;
    fakeagent::fireFromThread([](CMUpdaterInterface& agent) { agent.DownloadFinished(true); });
    control.reset();
    EXPECT_NO_FATAL_FAILURE(loop.runPending()); // finds no controller and does nothing
    EXPECT_EQ(fakeagent::registered(), nullptr);
}

TEST_F(AgentBridgeTest, AnEmptyRequestPassesEightEmptyFields) {
    startController();
    send(plist::Dictionary{{"CMD_ID", 2}, {"UPDATE_MODE", 1}});
    const auto updates = fakeagent::updateCalls();
    ASSERT_EQ(updates.size(), 1u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&updates[0].info);
    for (std::size_t field = 0; field < 8; ++field)
        for (std::size_t i = 0; i < 64; ++i)
            ASSERT_EQ(bytes[field * 64 + i], 0u) << "field " << field << " byte " << i;
}
