// The update window's step labels, progress lines and elapsed-time clock.

#include <cmath>
#include <cstdio>

#include "core/UpdateControl.h"

namespace tallowick {

using platform::NamedColor;

void UpdateControl::UpdateTextColorFor(int state, int module) {
    const bool firmware = module == MODULE_FIRMWARE || module == MODULE_BOTH;
    const bool dashboard = module == MODULE_CM || module == MODULE_BOTH;
    auto included = [](bool yes, NamedColor color) { return yes ? color : NamedColor::Gray; };

    NamedColor download = NamedColor::Black, fw = NamedColor::Black, ui = NamedColor::Black,
               end = NamedColor::Black;
    switch (state) {
    case STATE_DOWNLOADING:
        download = NamedColor::Magenta;
        fw = included(firmware, NamedColor::Black);
        ui = included(dashboard, NamedColor::Black);
        break;
    case STATE_UPDATING_FIRMWARE:
        download = NamedColor::Purple;
        fw = included(firmware, NamedColor::Magenta);
        ui = included(dashboard, NamedColor::Black);
        break;
    case STATE_UPDATING_CM:
        download = NamedColor::Purple;
        fw = included(firmware, NamedColor::Purple);
        ui = included(dashboard, NamedColor::Magenta);
        break;
    case STATE_FINISHED:
        download = NamedColor::Purple;
        fw = included(firmware, NamedColor::Purple);
        ui = included(dashboard, NamedColor::Purple);
        end = NamedColor::Purple;
        break;
    default:
        break;
    }
    m_DownLoadText->setTextColor(download);
    m_UpdateFWText->setTextColor(fw);
    m_UpdateUIText->setTextColor(ui);
    m_UpdateEndText->setTextColor(end);
    // The clock stops at the end; the label keeps the last time shown.
    if (state == STATE_FINISHED && m_ProcessTimer)
        m_ProcessTimer->invalidate();
}

void UpdateControl::appendProcessLines(const std::vector<std::optional<std::string>>& texts,
                                       bool needCheck) {
    bool changed = false;
    for (const auto& text : texts) {
        if (!text)
            continue;
        if (needCheck && !m_ProcessViewList.empty() && m_ProcessViewList.back() == *text)
            continue;
        m_ProcessViewList.push_back(*text);
        changed = true;
    }
    if (!changed)
        return;
    std::string joined;
    for (std::size_t i = 0; i < m_ProcessViewList.size(); ++i) {
        if (i)
            joined += "\r\n";
        joined += m_ProcessViewList[i];
    }
    m_ProcessInfoView->setString(joined);
}

void UpdateControl::AddProcessInfo(const std::optional<std::string>& text, bool needCheck) {
    appendProcessLines({text}, needCheck);
}

void UpdateControl::UpdateElapseTime(platform::Timer&) {
    if (!m_StartTime)
        return;
    const double elapsed = m_platform.mainLoop.now() - *m_StartTime;
    const long long s = elapsed > 0 ? static_cast<long long>(std::floor(elapsed)) : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    m_ElapseTime->setStringValue(text);
}

void UpdateControl::startElapsedClock() {
    if (m_ProcessTimer)
        m_ProcessTimer->invalidate();
    m_StartTime = m_platform.mainLoop.now();
    m_ProcessTimer = m_platform.mainLoop.scheduleTimer(
        1.0, true, [this](platform::Timer& timer) { UpdateElapseTime(timer); });
}

} // namespace tallowick
