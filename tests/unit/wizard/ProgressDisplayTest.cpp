#include <gtest/gtest.h>

#include "WizardFixture.h"

using namespace tallowick;
using namespace tallowick::test;
using platform::NamedColor;

namespace {

class ProgressDisplayTest : public WizardFixture {};

constexpr NamedColor B = NamedColor::Black, G = NamedColor::Gray, M = NamedColor::Magenta,
                     P = NamedColor::Purple;

} // namespace

TEST_F(ProgressDisplayTest, StepLabelColoursForEveryStateAndModule) {
    struct Case {
        int state;
        int module;
        NamedColor download, firmware, dashboard, end;
    };
    const Case cases[] = {
        {STATE_DOWNLOADING, MODULE_NONE, M, G, G, B},
        {STATE_DOWNLOADING, MODULE_FIRMWARE, M, B, G, B},
        {STATE_DOWNLOADING, MODULE_CM, M, G, B, B},
        {STATE_DOWNLOADING, MODULE_BOTH, M, B, B, B},
        {STATE_UPDATING_FIRMWARE, MODULE_NONE, P, G, G, B},
        {STATE_UPDATING_FIRMWARE, MODULE_FIRMWARE, P, M, G, B},
        {STATE_UPDATING_FIRMWARE, MODULE_CM, P, G, B, B},
        {STATE_UPDATING_FIRMWARE, MODULE_BOTH, P, M, B, B},
        {STATE_UPDATING_CM, MODULE_NONE, P, G, G, B},
        {STATE_UPDATING_CM, MODULE_FIRMWARE, P, P, G, B},
        {STATE_UPDATING_CM, MODULE_CM, P, G, M, B},
        {STATE_UPDATING_CM, MODULE_BOTH, P, P, M, B},
        {STATE_FINISHED, MODULE_NONE, P, G, G, P},
        {STATE_FINISHED, MODULE_FIRMWARE, P, P, G, P},
        {STATE_FINISHED, MODULE_CM, P, G, P, P},
        {STATE_FINISHED, MODULE_BOTH, P, P, P, P},
        {STATE_IDLE, MODULE_BOTH, B, B, B, B},
        {STATE_CHECKING, MODULE_FIRMWARE, B, B, B, B},
        {STATE_NEW_VERSION, MODULE_CM, B, B, B, B},
        {STATE_SELECTING, MODULE_BOTH, B, B, B, B},
        {42, MODULE_NONE, B, B, B, B},
        {STATE_DOWNLOADING, 7, M, G, G, B},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.state) + "/" + std::to_string(c.module));
        control->m_ProcessTimer = loop.scheduleTimer(1, true, [](platform::Timer&) {});
        control->UpdateTextColorFor(c.state, c.module);
        EXPECT_EQ(set().m_DownLoadText->textColor(), c.download);
        EXPECT_EQ(set().m_UpdateFWText->textColor(), c.firmware);
        EXPECT_EQ(set().m_UpdateUIText->textColor(), c.dashboard);
        EXPECT_EQ(set().m_UpdateEndText->textColor(), c.end);
        EXPECT_EQ(control->m_ProcessTimer->isValid(), c.state != STATE_FINISHED);
        control->m_ProcessTimer->invalidate();
    }
}

TEST_F(ProgressDisplayTest, ProgressLinesDropImmediateRepeatsAndJoinWithCRLF) {
    for (const char* t : {"A", "A", "B", "A"})
        control->AddProcessInfo(std::string(t), true);
    EXPECT_EQ(control->m_ProcessViewList, (std::vector<std::string>{"A", "B", "A"}));
    EXPECT_EQ(set().m_ProcessInfoView->string(), "A\r\nB\r\nA");

    control->AddProcessInfo(std::string("A"), false);
    EXPECT_EQ(control->m_ProcessViewList.size(), 4u);
    control->AddProcessInfo(std::nullopt, true);
    control->AddProcessInfo(std::nullopt, false);
    EXPECT_EQ(control->m_ProcessViewList.size(), 4u);
    EXPECT_EQ(set().m_ProcessInfoView->string(), "A\r\nB\r\nA\r\nA");
}

TEST_F(ProgressDisplayTest, TheClockShowsHoursMinutesAndSecondsWithoutWrapping) {
    struct Case {
        double seconds;
        const char* shown;
    };
    const Case cases[] = {{0.4, "00:00:00"},
                          {59.99, "00:00:59"},
                          {3725.9, "01:02:05"},
                          {360000, "100:00:00"},
                          {86399, "23:59:59"}};
    for (const auto& c : cases) {
        control->m_StartTime = loop.now() - c.seconds;
        control->UpdateElapseTime(*loop.scheduleTimer(1, false, [](platform::Timer&) {}));
        EXPECT_EQ(set().m_ElapseTime->stringValue(), c.shown) << c.seconds;
    }
}

TEST_F(ProgressDisplayTest, TheClockTicksEverySecondFromTheStartOfTheDownloadUntilTheEnd) {
    startDownload({{"FirmwareUpdatePackage.zip"}}, {0});
    const std::string before = set().m_ElapseTime->stringValue();
    loop.advance(0.5);
    EXPECT_EQ(set().m_ElapseTime->stringValue(), before) << "nothing before the first tick";
    loop.advance(0.5);
    EXPECT_EQ(set().m_ElapseTime->stringValue(), "00:00:01");
    loop.advance(3724);
    EXPECT_EQ(set().m_ElapseTime->stringValue(), "01:02:05");
    control->UpdateTextColorFor(STATE_FINISHED, MODULE_FIRMWARE);
    loop.advance(10);
    EXPECT_EQ(set().m_ElapseTime->stringValue(), "01:02:05") << "the label keeps the last time";
}
