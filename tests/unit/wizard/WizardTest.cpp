#include <gtest/gtest.h>

#include "WizardFixture.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

const Package kFirmware{"FirmwareUpdatePackage.zip", "FW 2.0", "new firmware"};
const Package kDashboard{"CMUpdatePackage.zip", "UI 2.0", "new dashboard"};
const Package kOther{"Readme.zip", "1", "notes"};

class WizardTest : public WizardFixture {};

} // namespace

TEST_F(WizardTest, NextBackNextKeepsTheTicksAndStartsTheSelectionClean) {
    offer({kFirmware, kDashboard});
    ASSERT_TRUE(click("m_InfoNextBtn"));
    EXPECT_EQ(control->m_UpdateState, STATE_SELECTING);
    EXPECT_FALSE(set().m_UpdateInfoWnd->isVisible());
    EXPECT_TRUE(set().m_ModuleSelWnd->isVisible());
    EXPECT_FALSE(set().m_UpdateBtn->isEnabled());

    tick(1);
    windows.selectTableRow("m_PackageListView", 1);
    EXPECT_EQ(set().m_InfoView->string(), "new dashboard");
    EXPECT_TRUE(set().m_UpdateBtn->isEnabled());

    ASSERT_TRUE(click("m_SelBackBtn"));
    EXPECT_EQ(control->m_UpdateState, STATE_NEW_VERSION);
    EXPECT_TRUE(set().m_UpdateInfoWnd->isVisible());
    EXPECT_FALSE(set().m_ModuleSelWnd->isVisible());

    ASSERT_TRUE(click("m_InfoNextBtn"));
    EXPECT_EQ(set().m_InfoView->string(), "");
    EXPECT_EQ(set().m_PackageListView->selectedRow(), -1);
    EXPECT_TRUE(control->m_PackageList[1].asDictionary()->boolValue("checkstate"));
    EXPECT_FALSE(control->m_PackageList[0].asDictionary()->boolValue("checkstate"));
    EXPECT_TRUE(set().m_UpdateBtn->isEnabled());
    tick(1);
    EXPECT_FALSE(set().m_UpdateBtn->isEnabled());
    // A disabled button does nothing when clicked, as on a screen.
    EXPECT_FALSE(click("m_UpdateBtn"));
    EXPECT_EQ(control->m_UpdateState, STATE_SELECTING);
}

TEST_F(WizardTest, UpdateSumsTheTickedModulesAndSelectsWhatIsDownloaded) {
    struct Case {
        const char* name;
        std::vector<Package> packages;
        std::vector<int> ticks;
        int module;
        std::vector<std::string> selected;
    };
    const Case cases[] = {
        {"firmware", {kFirmware, kDashboard}, {0}, MODULE_FIRMWARE, {kFirmware.filename}},
        {"dashboard", {kFirmware, kDashboard}, {1}, MODULE_CM, {kDashboard.filename}},
        {"both",
         {kFirmware, kDashboard},
         {0, 1},
         MODULE_BOTH,
         {kFirmware.filename, kDashboard.filename}},
        {"two firmware packages",
         {kFirmware, kFirmware},
         {0, 1},
         MODULE_CM,
         {kFirmware.filename, kFirmware.filename}},
        {"two dashboard packages",
         {kDashboard, kDashboard},
         {0, 1},
         MODULE_NONE,
         {kDashboard.filename, kDashboard.filename}},
        {"another file name", {kOther, kDashboard}, {0}, MODULE_NONE, {kOther.filename}},
        {"another file and firmware",
         {kFirmware, kOther},
         {0, 1},
         MODULE_FIRMWARE,
         {kFirmware.filename, kOther.filename}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakeagent::reset();
        control->m_UpdateState = STATE_IDLE;
        set().m_UpdateWnd->orderOut();
        fs.removeItem(kUserSelectionPath);
        startDownload(c.packages, c.ticks);
        EXPECT_EQ(control->m_SelectedModule, c.module);
        EXPECT_EQ(selectedFilenames(), c.selected);
        EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
        EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"Download"});
        EXPECT_EQ(selectionFileNames(), c.selected) << "UserSelection.xml names what is downloaded";
        // The update window shows the start of the download.
        EXPECT_TRUE(set().m_UpdateWnd->isVisible());
        EXPECT_FALSE(set().m_ModuleSelWnd->isVisible());
        EXPECT_TRUE(set().m_OKCancelBtn->isEnabled());
        EXPECT_EQ(set().m_OKCancelBtn->title(), control->MapLangString("CM_UPDATER_STR_CANCEL"));
        EXPECT_EQ(set().m_ProcessBar->doubleValue(), 0.0);
        EXPECT_TRUE(control->m_ProcessViewList.empty());
        EXPECT_FALSE(control->m_isDownfailed);
        EXPECT_TRUE(control->m_ProcessTimer && control->m_ProcessTimer->isValid());
        control->ResetUpdateProcess();
    }
}

TEST_F(WizardTest, UpdateWindowOpensInItsOrder) {
    offer({kFirmware});
    click("m_InfoNextBtn");
    tick(0);
    traced.clear();
    click("m_UpdateBtn");
    const auto lines = traced.lines();
    auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    auto lastAt = [&](const std::string& line) {
        return lines.rend() - std::find(lines.rbegin(), lines.rend(), line) - 1;
    };
    const std::string cancel = control->MapLangString("CM_UPDATER_STR_CANCEL");
    EXPECT_LT(at("m_ModuleSelWnd hidden"), at("m_OKCancelBtn title=\"" + cancel + "\" enabled=0"));
    EXPECT_LT(at("m_OKCancelBtn title=\"" + cancel + "\" enabled=0"),
              at("m_ProcessBar redraw value=0"));
    EXPECT_LT(
        at("m_ProcessBar redraw value=0"),
        at("m_DownLoadText text=\"" + set().m_DownLoadText->stringValue() + "\" color=magenta"));
    EXPECT_LT(at("m_UpdateWnd front"), at("m_UpdateWnd key"));
    EXPECT_LT(at("m_UpdateWnd key"), lastAt("m_OKCancelBtn title=\"" + cancel + "\" enabled=1"));
    EXPECT_EQ(lastAt("m_OKCancelBtn title=\"" + cancel + "\" enabled=1"),
              static_cast<std::ptrdiff_t>(lines.size()) - 1);
}

TEST_F(WizardTest, UpdateAfterTheListWasRebuiltStillDownloadsWithNothingSelected) {
    startDownload({kFirmware, kDashboard}, {});
    // Nothing was ticked, so Update stayed disabled: tick, then let a later check rebuild the
    // list unticked while the window stays open with Update enabled.
    offer({kFirmware, kDashboard});
    control->m_UpdateState = STATE_SELECTING;
    set().m_UpdateInfoWnd->orderOut();
    set().m_ModuleSelWnd->orderFrontRegardless();
    set().m_UpdateBtn->setEnabled(true);
    fakeagent::reset();
    ASSERT_TRUE(click("m_UpdateBtn"));
    EXPECT_EQ(control->m_SelectedModule, MODULE_NONE);
    EXPECT_TRUE(selectedFilenames().empty());
    EXPECT_TRUE(fs.fileExists(kUserSelectionPath));
    EXPECT_TRUE(selectionFileNames().empty());
    EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
    EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"Download"});
}

TEST_F(WizardTest, AnEmptiedDescriptionShowsTheUpdateWindowWithoutADownload) {
    offer({kFirmware});
    click("m_InfoNextBtn");
    tick(0);
    control->m_DescriptDic.clear();
    control->m_ProcessViewList = {"old line"};
    ASSERT_TRUE(click("m_UpdateBtn"));
    EXPECT_EQ(control->m_UpdateState, STATE_SELECTING);
    EXPECT_TRUE(fakeagent::calls().empty());
    EXPECT_TRUE(set().m_UpdateWnd->isVisible());
    EXPECT_FALSE(set().m_OKCancelBtn->isEnabled());
    EXPECT_EQ(control->m_ProcessViewList, std::vector<std::string>{"old line"});
    EXPECT_EQ(set().m_ProcessInfoView->string(), "");
    EXPECT_EQ(set().m_DownLoadText->textColor(), platform::NamedColor::Black);
    EXPECT_FALSE(fs.fileExists(kUserSelectionPath));
}

TEST_F(WizardTest, CancelRefusesTheOfferAndEndsTheCycle) {
    for (const char* where : {"new-version", "selection"}) {
        SCOPED_TRACE(where);
        fakeagent::reset();
        offer({kFirmware});
        if (std::string(where) == "selection")
            click("m_InfoNextBtn");
        ASSERT_TRUE(
            click(std::string(where) == "selection" ? "m_SelCancelBtn" : "m_InfoCancelBtn"));
        EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"RefuseDownload"});
        EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
        EXPECT_TRUE(control->m_PackageList.empty());
        EXPECT_TRUE(control->m_DescriptDic.empty());
        EXPECT_FALSE(set().m_UpdateInfoWnd->isVisible());
        EXPECT_FALSE(set().m_ModuleSelWnd->isVisible());
    }
}

TEST_F(WizardTest, CancelDuringTheDownloadStopsTheAgentButOKAfterAFailureDoesNot) {
    startDownload({kFirmware}, {0});
    fakeagent::reset();
    ASSERT_TRUE(click("m_OKCancelBtn"));
    EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"StopDownload"});
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_FALSE(set().m_UpdateWnd->isVisible());
    EXPECT_EQ(control->m_ProcessTimer, nullptr);

    startDownload({kFirmware}, {0});
    control->DownloadFinished(false);
    fakeagent::reset();
    EXPECT_EQ(set().m_OKCancelBtn->title(), control->MapLangString("CM_UPDATER_STR_OK"));
    ASSERT_TRUE(click("m_OKCancelBtn"));
    EXPECT_TRUE(fakeagent::calls().empty());
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_FALSE(set().m_UpdateWnd->isVisible());
}

TEST_F(WizardTest, TheUpdateWindowsButtonActsOnlyWhenDownloadingOrFinished) {
    startDownload({kFirmware}, {0});
    for (int state : {STATE_UPDATING_FIRMWARE, STATE_UPDATING_CM, STATE_SELECTING}) {
        control->m_UpdateState = state;
        set().m_OKCancelBtn->setEnabled(true);
        fakeagent::reset();
        traced.clear();
        click("m_OKCancelBtn");
        EXPECT_EQ(control->m_UpdateState, state);
        EXPECT_TRUE(fakeagent::calls().empty());
        EXPECT_TRUE(set().m_UpdateWnd->isVisible());
    }

    control->m_UpdateState = STATE_FINISHED;
    click("m_OKCancelBtn");
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_FALSE(set().m_UpdateWnd->isVisible());
    EXPECT_EQ(control->m_ProcessTimer, nullptr);
    EXPECT_FALSE(control->m_StartTime.has_value());
    EXPECT_TRUE(windows.terminated());
    EXPECT_EQ(traced.lines().back(), "application terminate");
}

TEST_F(WizardTest, OKOnTheWaitWindowEndsTheWait) {
    send(updateMessage(1));
    control->ManualUpdateState(CHECKSTATE_NODOWNLOAD);
    ASSERT_TRUE(click("m_WaitOKBtn"));
    EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
    EXPECT_FALSE(set().m_WaitWnd->isVisible());
    EXPECT_FALSE(control->m_WaitInfoCanceled);

    // Dismissed while the button was not an OK button: later reports are ignored.
    send(updateMessage(1));
    control->m_WaitOKBtnState = false;
    set().m_WaitOKBtn->setEnabled(true);
    click("m_WaitOKBtn");
    EXPECT_TRUE(control->m_WaitInfoCanceled);
    const std::string shown = set().m_WaitInfoView->string();
    control->m_UpdateState = STATE_CHECKING;
    control->ManualUpdateState(CHECKSTATE_SERVICEVERSION);
    EXPECT_EQ(set().m_WaitInfoView->string(), shown);
}
