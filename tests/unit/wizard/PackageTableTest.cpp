#include <gtest/gtest.h>

#include "WizardFixture.h"

using namespace tallowick;
using namespace tallowick::test;

namespace {

class PackageTableTest : public WizardFixture {
protected:
    PackageTableTest() {
        offer({{"FirmwareUpdatePackage.zip", "FW 2.0", "new firmware"},
               {"CMUpdatePackage.zip", "UI 2.0", "new dashboard"}});
        click("m_InfoNextBtn");
        logSink->clear();
    }
    bool ticked(int row) const {
        return control->m_PackageList[static_cast<std::size_t>(row)].asDictionary()->boolValue(
            "checkstate");
    }
    std::size_t enableLines() const { return logSink->count("the updateEnableValue:1"); }
};

} // namespace

TEST_F(PackageTableTest, ShowsOneRowPerPackageWithItsFileNameOnTheCheckBox) {
    EXPECT_TRUE(traced.contains("m_PackageListView reload rows=2"));
    EXPECT_TRUE(
        traced.contains("row=0 checkstate=0 title=\"FirmwareUpdatePackage.zip\" Version=\"FW 2.0\" "
                        "Size=\"1024\" PriorityFlag=\"1\"") ||
        traced.contains("m_PackageListView row=0 checkstate=0 title=\"FirmwareUpdatePackage.zip\" "
                        "Version=\"FW 2.0\" Size=\"1024\" PriorityFlag=\"1\""));
    logSink->clear();
    set().m_PackageListView->reloadData();
    EXPECT_TRUE(logSink->contains("QN:The array number item:2"));
    control->m_PackageList.clear();
    set().m_PackageListView->reloadData();
    EXPECT_TRUE(logSink->contains("QN:The array number item:0"));
    EXPECT_TRUE(traced.contains("m_PackageListView reload rows=0"));
}

TEST_F(PackageTableTest, TickingAndUntickingAsAUserClicks) {
    tick(0);
    EXPECT_TRUE(ticked(0));
    EXPECT_EQ(enableLines(), 1u);
    EXPECT_TRUE(set().m_UpdateBtn->isEnabled());
    EXPECT_TRUE(
        traced.contains("m_PackageListView row=0 checkstate=1 title=\"FirmwareUpdatePackage.zip\" "
                        "Version=\"FW 2.0\" Size=\"1024\" PriorityFlag=\"1\""));

    logSink->clear();
    tick(1); // two ticked: one line per ticked package
    EXPECT_EQ(enableLines(), 2u);
    logSink->clear();
    tick(1);
    EXPECT_EQ(enableLines(), 1u);
    logSink->clear();
    tick(0); // the last tick goes: no line, Update disabled
    EXPECT_EQ(enableLines(), 0u);
    EXPECT_FALSE(set().m_UpdateBtn->isEnabled());
}

TEST_F(PackageTableTest, ClicksOutsideTheTickColumnOrTheRowsChangeNothing) {
    tick(0);
    logSink->clear();
    for (const char* column : {"Version", "Size", "PriorityFlag"}) {
        windows.clickTable("m_PackageListView", 1, column);
        EXPECT_FALSE(ticked(1)) << column;
    }
    windows.clickTable("m_PackageListView", 2, "checkstate"); // below the last row
    windows.clickTable("m_PackageListView", -1, "checkstate");
    EXPECT_TRUE(ticked(0));
    EXPECT_FALSE(ticked(1));
    EXPECT_EQ(enableLines(), 0u);
    EXPECT_TRUE(set().m_UpdateBtn->isEnabled());
}

TEST_F(PackageTableTest, SelectingARowShowsItsDescriptionAndClearingKeepsIt) {
    windows.selectTableRow("m_PackageListView", 1);
    EXPECT_EQ(set().m_InfoView->string(), "new dashboard");
    windows.selectTableRow("m_PackageListView", 0);
    EXPECT_EQ(set().m_InfoView->string(), "new firmware");
    windows.selectTableRow("m_PackageListView", -1);
    EXPECT_EQ(set().m_InfoView->string(), "new firmware");
    windows.selectTableRow("m_PackageListView", 5);
    EXPECT_EQ(set().m_InfoView->string(), "new firmware");
}

TEST_F(PackageTableTest, AnEditedCellShowsTheStoredValueAgain) {
    ASSERT_TRUE(windows.editTableCell("m_PackageListView", 0, "Version", "9.9"));
    EXPECT_EQ(control->m_PackageList[0].asDictionary()->stringValue("Version"), "FW 2.0");
    traced.clear();
    set().m_PackageListView->reloadData();
    EXPECT_TRUE(
        traced.contains("m_PackageListView row=0 checkstate=0 title=\"FirmwareUpdatePackage.zip\" "
                        "Version=\"FW 2.0\" Size=\"1024\" PriorityFlag=\"1\""));
}

TEST_F(PackageTableTest, AHiddenTableCannotBeClicked) {
    click("m_SelBackBtn");
    EXPECT_FALSE(tick(0));
    EXPECT_FALSE(ticked(0));
}
