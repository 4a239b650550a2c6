#include <gtest/gtest.h>

#include "ControllerFixture.h"

using namespace tallowick;
using namespace tallowick::test;
using tallowick::plist::Dictionary;
using tallowick::plist::Value;

namespace {

class UpdateControlTest : public ControllerFixture {
protected:
    UpdateControlTest() {
        startController();
        fakeagent::reset();
    }
    platform::Window& wnd(const char* name) { return *windows.window(name); }
    platform::Button& btn(const char* name) { return *windows.button(name); }
};

} // namespace

TEST_F(UpdateControlTest, ManualRequestOpensTheWaitWithADisabledButtonAndOneTimer) {
    send(updateMessage(1));
    EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
    EXPECT_TRUE(wnd("m_WaitWnd").isVisible());
    EXPECT_FALSE(btn("m_WaitOKBtn").isEnabled());
    EXPECT_EQ(btn("m_WaitOKBtn").title(), control->MapLangString("CM_UPDATER_STR_OK"));
    EXPECT_TRUE(control->m_WaitOKBtnState);
    EXPECT_FALSE(control->m_WaitInfoCanceled);
    EXPECT_EQ(loop.validTimerCount(), 1u);
    ASSERT_TRUE(control->m_WaitInfoTimeOut);
    EXPECT_DOUBLE_EQ(control->m_WaitInfoTimeOut->interval(), 120.0);
    EXPECT_TRUE(control->m_WaitInfoTimeOut->repeats());
    EXPECT_TRUE(traced.contains("m_WaitWnd front"));
    EXPECT_TRUE(logSink->contains("Update Command"));

    const auto updates = fakeagent::updateCalls();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].mode, 1);
    EXPECT_STREQ(updates[0].info.OS, "Linux");
    EXPECT_STREQ(updates[0].info.DeviceType, "QV230");
    EXPECT_STREQ(updates[0].info.UIVersion, "UI 1.0");
    EXPECT_STREQ(updates[0].info.FWVersion, "FW 1.0");
    EXPECT_STREQ(updates[0].info.UnsignedID, "ID-42");
    EXPECT_STREQ(updates[0].info.ClientGroup, "group");
    EXPECT_STREQ(updates[0].info.Language, "en");
    EXPECT_STREQ(updates[0].info.ExternPara, "extra");

    // The time-out changes nothing, however often it fires.
    loop.advance(600);
    EXPECT_EQ(control->m_UpdateState, STATE_CHECKING);
    EXPECT_TRUE(wnd("m_WaitWnd").isVisible());
    EXPECT_EQ(loop.validTimerCount(), 1u);
}

TEST_F(UpdateControlTest, AutomaticRequestOpensNothingAndPassesTheModeOn) {
    send(updateMessage(0));
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_FALSE(wnd("m_WaitWnd").isVisible());
    EXPECT_EQ(loop.validTimerCount(), 0u);
    ASSERT_EQ(fakeagent::updateCalls().size(), 1u);
    EXPECT_EQ(fakeagent::updateCalls()[0].mode, 0);
    EXPECT_TRUE(logSink->contains("Update Command"));
    // Any other mode goes to the agent unchanged.
    send(updateMessage(7));
    EXPECT_EQ(fakeagent::updateCalls().back().mode, 7);
}

TEST_F(UpdateControlTest, RequestsOutsideIdleAreDroppedWhole) {
    send(updateMessage(1));
    logSink->clear();
    fakeagent::reset();
    const std::string language = control->m_CurLang;
    for (int state : {STATE_CHECKING, STATE_NEW_VERSION, STATE_SELECTING, STATE_DOWNLOADING,
                      STATE_UPDATING_FIRMWARE, STATE_UPDATING_CM, STATE_FINISHED}) {
        SCOPED_TRACE(state);
        control->m_UpdateState = state;
        Dictionary message = updateMessage(1);
        message.set("UI_Language", "fr");
        message.set("DEVICE_STATE", true);
        message.set("DEVICE_TYPE", "OTHER");
        send(message);
        EXPECT_EQ(control->m_UpdateState, state);
        EXPECT_EQ(control->m_CurLang, language) << "the language must not change";
        EXPECT_FALSE(control->m_haveDevice);
    }
    EXPECT_TRUE(fakeagent::updateCalls().empty());
    EXPECT_TRUE(logSink->lines().empty());
    EXPECT_EQ(loop.validTimerCount(), 1u) << "the wait must not be restarted";
}

TEST_F(UpdateControlTest, DeviceFieldsFollowRequestsAndDeviceMessages) {
    control->m_haveDevice = true;
    control->m_DeviceType = "KEPT";
    send(updateMessage(0)); // no DEVICE_STATE: the fields keep their values
    EXPECT_TRUE(control->m_haveDevice);
    EXPECT_EQ(control->m_DeviceType, "KEPT");

    Dictionary withState = updateMessage(0);
    withState.set("DEVICE_STATE", false);
    send(withState); // false, and the type is still taken
    EXPECT_FALSE(control->m_haveDevice);
    EXPECT_EQ(control->m_DeviceType, "QV230");

    send(Dictionary{{"CMD_ID", 3}, {"DEVICE_STATE", true}, {"DEVICE_TYPE", "QV240"}});
    EXPECT_TRUE(control->m_haveDevice);
    EXPECT_EQ(control->m_DeviceType, "QV240");
    send(Dictionary{{"CMD_ID", 3}, {"DEVICE_STATE", false}, {"DEVICE_TYPE", "QV240"}});
    EXPECT_FALSE(control->m_haveDevice);
    EXPECT_EQ(control->m_DeviceType, "");
    EXPECT_EQ(logSink->count("Device State Command"), 2u);
}

TEST_F(UpdateControlTest, ArrivingModemMovesAWaitingFirmwareUpdateOn) {
    control->m_PackageDeviceType = "QV230";
    struct Case {
        const char* name;
        const char* type;
        bool dashboardRuns;
        const char* sheetAfter;
    };
    const Case cases[] = {
        {"other type", "QV231", false, "m_FirmwareCancelWnd"},
        {"same type, dashboard runs", "QV230", true, "m_CloseUIWnd"},
        {"same type, dashboard gone", "QV230", false, "m_MakeSureModemWnd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* w : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
            wnd(w).orderOut();
        windows.windowSet().application->beginSheet(wnd("m_FirmwareCancelWnd"), wnd("m_UpdateWnd"));
        workspace.bundleIdentifiers.clear();
        if (c.dashboardRuns)
            workspace.bundleIdentifiers.push_back("com.brenlo.USBMODEM");
        logSink->clear();
        send(Dictionary{{"CMD_ID", 3}, {"DEVICE_STATE", true}, {"DEVICE_TYPE", c.type}});
        for (const char* w : {"m_FirmwareCancelWnd", "m_CloseUIWnd", "m_MakeSureModemWnd"})
            EXPECT_EQ(wnd(w).isVisible(), std::string(w) == c.sheetAfter) << w;
        const bool moved = std::string(c.sheetAfter) != "m_FirmwareCancelWnd";
        EXPECT_EQ(logSink->contains("End the FirmwareCancelWnd ."), moved);
        if (moved) {
            EXPECT_TRUE(traced.contains(std::string(c.sheetAfter) + " sheet begin on=m_UpdateWnd"));
            EXPECT_TRUE(traced.contains("m_FirmwareCancelWnd sheet end"));
        }
        EXPECT_EQ(logSink->lines().back(), "Device State Command");
    }
    // Without the no-device sheet only the fields change.
    traced.clear();
    send(Dictionary{{"CMD_ID", 3}, {"DEVICE_STATE", true}, {"DEVICE_TYPE", "QV230"}});
    EXPECT_TRUE(traced.lines().empty());
}

TEST_F(UpdateControlTest, ResetReturnsToIdleAndEmptiesWhatTheStateHeld) {
    struct Case {
        int state;
        int after;
        bool packageDataEmptied;
        bool clockStopped;
    };
    const Case cases[] = {
        {STATE_IDLE, STATE_IDLE, false, false},
        {STATE_CHECKING, STATE_IDLE, false, false},
        {STATE_NEW_VERSION, STATE_IDLE, true, false},
        {STATE_SELECTING, STATE_IDLE, true, false},
        {STATE_DOWNLOADING, STATE_IDLE, true, true},
        {STATE_UPDATING_FIRMWARE, STATE_IDLE, true, true},
        {STATE_UPDATING_CM, STATE_IDLE, true, true},
        {STATE_FINISHED, STATE_FINISHED, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        control->m_UpdateState = c.state;
        control->m_SelectedModule = MODULE_BOTH;
        control->m_DescriptDic = Dictionary{{"Version", "2"}};
        control->m_SelectDic = Dictionary{{"Version", "2"}};
        control->m_PackageList =
            plist::Array{Value(Dictionary{{"Filename", "CMUpdatePackage.zip"}})};
        control->m_PackageInfo = "text";
        windows.windowSet().m_PackageInfoView->setString("text");
        windows.windowSet().m_ProcessBar->setDoubleValue(55);
        control->m_ProcessTimer = loop.scheduleTimer(1, true, [](platform::Timer&) {});
        control->m_StartTime = 1.0;
        control->m_ProcessViewList = {"line"};

        control->ResetUpdateProcess();

        EXPECT_EQ(control->m_UpdateState, c.after);
        EXPECT_EQ(control->m_SelectedModule, MODULE_BOTH);
        EXPECT_EQ(control->m_DescriptDic.empty(), c.packageDataEmptied);
        EXPECT_EQ(control->m_SelectDic.empty(), c.packageDataEmptied);
        EXPECT_EQ(control->m_PackageList.empty(), c.packageDataEmptied);
        EXPECT_EQ(control->m_PackageInfo.empty(), c.packageDataEmptied);
        EXPECT_EQ(windows.windowSet().m_PackageInfoView->string().empty(), c.packageDataEmptied);
        EXPECT_EQ(control->m_ProcessTimer == nullptr, c.clockStopped);
        EXPECT_EQ(control->m_StartTime.has_value(), !c.clockStopped);
        EXPECT_EQ(windows.windowSet().m_ProcessBar->doubleValue(), c.clockStopped ? 0.0 : 55.0);
        EXPECT_EQ(control->m_ProcessViewList.size(), 1u) << "progress lines stay";
        if (control->m_ProcessTimer)
            control->m_ProcessTimer->invalidate();
        control->m_ProcessTimer.reset();
    }
}

TEST_F(UpdateControlTest, CompatibleDeviceNeedsAPresentModemOfExactlyThePackagesType) {
    struct Case {
        bool have;
        const char* device;
        const char* package;
        bool compatible;
    };
    const Case cases[] = {
        {true, "QV230", "QV230", true},
        {true, "QV230", "QV230 ", false},
        {true, "QV230", "qv230", false},
        {false, "QV230", "QV230", false},
        {true, "", "", true},
        {false, "", "", false},
    };
    for (const auto& c : cases) {
        control->m_haveDevice = c.have;
        control->m_DeviceType = c.device;
        control->m_PackageDeviceType = c.package;
        EXPECT_EQ(control->HaveCompatibleDevice(), c.compatible)
            << c.have << " '" << c.device << "' '" << c.package << "'";
    }
    EXPECT_FALSE(
        control->HaveFirmwareWithInfo(Dictionary{{"Filename", "FirmwareUpdatePackage.zip"}}));
    EXPECT_FALSE(control->HaveUIWithInfo(Dictionary{{"Filename", "CMUpdatePackage.zip"}}));
}

TEST_F(UpdateControlTest, RunningApplicationsAreMatchedExactly) {
    EXPECT_FALSE(control->isProcExist("com.brenlo.USBMODEM"));
    workspace.bundleIdentifiers = {"org.other.app", "com.brenlo.USBMODEM"};
    EXPECT_TRUE(control->isProcExist("com.brenlo.USBMODEM"));
    EXPECT_FALSE(control->isProcExist("com.brenlo.usbmodem"));
}

TEST(RunningApplicationLockTest, AnnouncesTheApplicationWhileHeld) {
    TempRoot root;
    platform::FileSystem fs(root.path());
    platform::LockFileWorkspace workspace(fs);
    EXPECT_TRUE(workspace.launchedApplications().empty());
    {
        platform::RunningApplicationLock lock(fs, "com.brenlo.USBMODEM");
        ASSERT_TRUE(lock.held());
        const auto apps = workspace.launchedApplications();
        ASSERT_EQ(apps.size(), 1u);
        EXPECT_EQ(apps[0].stringValue("NSApplicationBundleIdentifier"), "com.brenlo.USBMODEM");
        platform::RunningApplicationLock second(fs, "com.brenlo.USBMODEM");
        EXPECT_FALSE(second.held()) << "one instance holds the lock";
    }
    EXPECT_TRUE(workspace.launchedApplications().empty())
        << "a lock file left behind is not a running app";
}
