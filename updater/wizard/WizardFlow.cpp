// The wizard's own buttons and the wait window's time-out.

#include "catalogue/XMLParse.h"
#include "core/UCInterface.h"
#include "core/UpdateControl.h"

namespace tallowick {

namespace {
constexpr const char* kFirmwarePackage = "FirmwareUpdatePackage.zip";
constexpr const char* kDashboardPackage = "CMUpdatePackage.zip";
} // namespace

void UpdateControl::WaitInfoOK(platform::Control*) {
    m_UpdateState = STATE_IDLE;
    m_WaitWnd->orderOut();
    if (!m_WaitOKBtnState)
        m_WaitInfoCanceled = true;
}

// The time-out takes no action: the wait window, the state and the timer stay as they are.
void UpdateControl::WaitInfoTimeOut(platform::Timer&) {}

void UpdateControl::UpdateInfoCancel(platform::Control*) {
    m_pUCInterface->RefuseDownload();
    m_UpdateInfoWnd->orderOut();
    ResetUpdateProcess();
}

void UpdateControl::UpdateInfoNext(platform::Control*) {
    m_UpdateInfoWnd->orderOut();
    m_UpdateState = STATE_SELECTING;
    m_InfoView->setString("");
    m_PackageListView->deselectAll();
    m_PackageListView->reloadData();
    m_ModuleSelWnd->orderFrontRegardless();
}

void UpdateControl::UpdateSelBack(platform::Control*) {
    m_ModuleSelWnd->orderOut();
    m_UpdateState = STATE_NEW_VERSION;
    m_UpdateInfoWnd->orderFrontRegardless();
}

void UpdateControl::UpdateSelCancel(platform::Control*) {
    m_pUCInterface->RefuseDownload();
    m_ModuleSelWnd->orderOut();
    ResetUpdateProcess();
}

void UpdateControl::showUpdateWindow() {
    m_UpdateWnd->orderFrontRegardless();
    m_UpdateWnd->makeKeyWindow();
}

void UpdateControl::UpdateSelStartUpdate(platform::Control*) {
    m_ModuleSelWnd->orderOut();
    m_SelectDic = m_DescriptDic;
    m_SelectedModule = MODULE_NONE;
    int sum = 0;

    // Walk the selection's packages from the last to the first, so that removing one keeps
    // the indexes still to visit; entry i of the package list stands for package i. A package
    // without an entry in the list counts as unticked.
    if (plist::Value* files = m_SelectDic.find("UpdateFile"); files && files->asArray()) {
        plist::Array& packages = *files->asArray();
        for (std::size_t i = packages.size(); i-- > 0;) {
            const plist::Dictionary* entry =
                i < m_PackageList.size() ? m_PackageList[i].asDictionary() : nullptr;
            if (!entry || !entry->boolValue("checkstate")) {
                packages.erase(packages.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            const std::string filename = entry->stringValue("Filename");
            if (filename == kFirmwarePackage) {
                if (HaveFirmwareWithInfo(*entry))
                    packages.erase(packages.begin() + static_cast<std::ptrdiff_t>(i));
                sum += MODULE_FIRMWARE;
            } else if (filename == kDashboardPackage) {
                if (HaveUIWithInfo(*entry))
                    packages.erase(packages.begin() + static_cast<std::ptrdiff_t>(i));
                sum += MODULE_CM;
            }
        }
    }
    if (sum >= MODULE_NONE && sum <= MODULE_BOTH)
        m_SelectedModule = sum;

    if (!m_SelectDic.empty()) {
        m_XMLParse->createResult(kUserSelectionPath, m_SelectDic);
        m_UpdateState = STATE_DOWNLOADING;
        m_OKCancelBtn->setTitle(MapLangString("CM_UPDATER_STR_CANCEL"));
        m_OKCancelBtn->setEnabled(false);
        m_ProcessViewList.clear();
        m_ProcessInfoView->setString("");
        m_ProcessBar->setDoubleValue(0);
        m_ProcessBar->displayIfNeeded();
        UpdateTextColorFor(m_UpdateState, m_SelectedModule);
        showUpdateWindow();
        m_isDownfailed = false;
        m_pUCInterface->Download();
        m_OKCancelBtn->setEnabled(true);
        m_OKCancelBtn->setTitle(MapLangString("CM_UPDATER_STR_CANCEL"));
        startElapsedClock();
        return;
    }

    m_OKCancelBtn->setTitle(MapLangString("CM_UPDATER_STR_CANCEL"));
    m_OKCancelBtn->setEnabled(false);
    m_ProcessInfoView->setString("");
    m_ProcessBar->setDoubleValue(0);
    m_ProcessBar->displayIfNeeded();
    UpdateTextColorFor(m_UpdateState, m_SelectedModule);
    showUpdateWindow();
}

void UpdateControl::UpdateCancelOK(platform::Control*) {
    switch (m_UpdateState) {
    case STATE_DOWNLOADING:
        if (!m_isDownfailed)
            m_pUCInterface->StopDownload();
        ResetUpdateProcess();
        m_UpdateWnd->orderOut();
        break;
    case STATE_FINISHED:
        stopElapsedClock();
        m_UpdateWnd->orderOut();
        startMacSwapper();
        m_UpdateState = STATE_IDLE;
        releaseAuthorization();
        m_Application->terminate();
        break;
    default:
        break;
    }
}

} // namespace tallowick
