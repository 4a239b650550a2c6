#include <gtest/gtest.h>

#include "ControllerFixture.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

class AgentBridgeTest : public ControllerFixture {};

} // namespace

TEST_F(AgentBridgeTest, SetsUpTheAgentInOrderAndPublishesTheController) {
    startController();
    EXPECT_EQ(fakeagent::calls(),
              (std::vector<std::string>{"GetUpdateAgentInterface", "RegisterCMUpdaterInterface",
                                        "GetUpdateAgentInterface",
                                        "SetFilePath /System/Library/ModemList/Update/UpdateCfg.ini",
                                        "Init"}));
    const auto lines = logSink->lines();
    const std::vector<std::string> setUp(lines.begin(), lines.begin() + 3);
    EXPECT_EQ(setUp, (std::vector<std::string>{"GetUpdateAgentInterface!", "Register CMUpdaterInterface!",
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
    logSink->clear();
    char text[] = "Downloading FirmwareUpdatePackage.zip";
    fakeagent::fireFromThread([&](CMUpdaterInterface& agent) {
        agent.SetNowDownloadStatus(static_cast<_CheckVersionState>(0));
        agent.SetNowDownloadStatus(static_cast<_CheckVersionState>(8));
        agent.DownloadFinished(false);
        agent.DownloadFinished(true);
        agent.DownloadProcess(text, 42);
        agent.DownloadProcess(nullptr, 0);
        agent.HaveNewVsersion();
    });
    // The lines are written at once, on the calling thread; the work waits for the UI thread.
    EXPECT_EQ(logSink->lines(),
              (std::vector<std::string>{"Enter the download status:0", "Enter the download status:8",
                                        "Enter the call back finish function with result:0",
                                        "Enter the call back finish function with result:1"}));
    EXPECT_EQ(loop.runPending(), 7u);
}

TEST_F(AgentBridgeTest, ReportsQueuedBeforeTheControllerWentAwayAreDropped) {
    startController();
    fakeagent::fireFromThread([](CMUpdaterInterface& agent) { agent.HaveNewVsersion(); });
    control.reset();
    EXPECT_EQ(loop.runPending(), 1u); // runs, finds no controller, does nothing
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
