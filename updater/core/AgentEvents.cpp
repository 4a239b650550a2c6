// Reactions to the update agent's reports during a check and a download. The bridge runs them
// on the UI thread, in the order the reports arrived.

#include "core/UpdateControl.h"

#include "core/agent/UpdateAgent.h"

namespace tallowick {

namespace {

const char* checkStateKey(int state) {
    switch (state) {
    case CHECKSTATE_LOCALVERSION:
        return "CM_UPDATER_CHECKSTATE_LOCALVERSION_STR";
    case CHECKSTATE_SERVICEVERSION:
        return "CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR";
    case CHECKSTATE_DOWNLOADING:
        return "CM_UPDATER_CHECKSTATE_DOWNLOADING_STR";
    case CHECKSTATE_DOWNLOADSUCCEED:
        return "CM_UPDATER_CHECKSTATE_DOWNLOADSUCCEED_STR";
    case CHECKSTATE_DOWNLOADFAILED:
        return "CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR";
    case CHECKSTATE_DOWNLOADREFUSED:
        return "CM_UPDATER_CHECKSTATE_DOWNLOADREFUSED_STR";
    case CHECKSTATE_NODOWNLOAD:
        return "CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR";
    default:
        return nullptr;
    }
}

bool endsTheWait(int state) {
    return state == CHECKSTATE_DOWNLOADFAILED || state == CHECKSTATE_DOWNLOADREFUSED ||
           state == CHECKSTATE_NODOWNLOAD;
}

} // namespace

void UpdateControl::ManualUpdateState(int state) {
    const char* key = checkStateKey(state);
    if (m_UpdateState == STATE_IDLE || m_WaitInfoCanceled || !key)
        return;
    m_WaitInfoView->setString(MapLangString(key));
    if (!endsTheWait(state))
        return;
    stopWaitTimeOut();
    m_WaitOKBtnState = true;
    m_WaitOKBtn->setTitle(MapLangString("CM_UPDATER_STR_OK"));
    m_WaitOKBtn->setEnabled(true);
}

void UpdateControl::DownloadFinished(bool success) {
    if (m_UpdateState != STATE_DOWNLOADING)
        return;
    if (!success) {
        m_platform.log.line("Update:DownLoad failed!");
        AddProcessInfo(MapLangString("CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR"), true);
        m_isDownfailed = true;
        m_ProcessBar->setDoubleValue(100);
        m_OKCancelBtn->setEnabled(true);
        m_OKCancelBtn->setTitle(MapLangString("CM_UPDATER_STR_OK"));
        return;
    }
    m_ProcessBar->setDoubleValue(100);
    m_ProcessBar->displayIfNeeded();
    m_OKCancelBtn->setEnabled(false);
    switch (m_SelectedModule) {
    case MODULE_FIRMWARE:
    case MODULE_BOTH:
        if (!HaveCompatibleDevice())
            beginSheet(m_FirmwareCancelWnd);
        else if (isProcExist(kDashboardBundleIdentifier))
            beginSheet(m_CloseUIWnd);
        else
            beginSheet(m_MakeSureModemWnd);
        break;
    case MODULE_CM:
        GoToUIUpdate();
        break;
    default:
        break;
    }
}

void UpdateControl::DownloadProcess(const std::optional<std::string>& text, double percent) {
    DownloadProcessBatch({text}, percent);
}

void UpdateControl::DownloadProcessBatch(const std::vector<std::optional<std::string>>& texts,
                                         double percent) {
    appendProcessLines(texts, true);
    m_ProcessBar->setDoubleValue(percent);
}

} // namespace tallowick
