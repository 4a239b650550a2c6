#include "core/UpdateControl.h"

#include <cstring>

#include "catalogue/XMLParse.h"
#include "core/UCInterface.h"
#include "firmware/firmControl.h"

namespace tallowick {

std::atomic<UpdateControl*> pUpdateControl{nullptr};

UpdateControl::UpdateControl(const platform::Platform& platform) : m_platform(platform) {}

std::unique_ptr<UpdateControl> UpdateControl::init(const platform::Platform& platform) {
    std::unique_ptr<UpdateControl> self(new UpdateControl(platform));
    self->LoadCfgFile();
    self->m_CurLang = "NULL";
    self->m_UpdateState = STATE_IDLE;
    self->m_pUCInterface = std::make_unique<UCInterface>(platform.mainLoop, platform.log);
    self->m_XMLParse = XMLParse::initWithFilePath(kDescriptionPath, platform.fileSystem,
                                                  platform.log, platform.sound);
    self->m_PackageInfo.clear();
    self->m_FirmWareControl = std::make_unique<firmControl>();
    self->m_PackageList.clear();

    self->m_pUCInterface->RegisterSelf();
    self->m_pUCInterface->GetAgent();
    std::string configPath = kAgentConfigPath;
    self->m_pUCInterface->SetFilePath(configPath.data());
    self->m_pUCInterface->Init();

    self->m_DescriptDic.clear();
    self->m_SelectDic.clear();
    self->m_DeviceType.clear();
    self->m_PackageDeviceType.clear();
    self->m_haveDevice = false;
    self->m_ProcessViewList.clear();

    pUpdateControl = self.get();
    return self;
}

UpdateControl::~UpdateControl() {
    // Callbacks still queued or arriving find no controller from here on.
    UpdateControl* expected = this;
    pUpdateControl.compare_exchange_strong(expected, nullptr);
    if (m_WaitInfoTimeOut)
        m_WaitInfoTimeOut->invalidate();
    if (m_ProcessTimer)
        m_ProcessTimer->invalidate();
    // The bridge's destruction tells the agent to end its work; no callback comes after it.
    m_pUCInterface.reset();
}

void UpdateControl::handleInitMessage(const plist::Dictionary&) {
    m_pUCInterface->Init();
    m_platform.log.line("Init Command");
}

void UpdateControl::openWaitWindow() {
    m_UpdateState = STATE_CHECKING;
    m_WaitInfoView->setString("");
    m_WaitOKBtn->setTitle(MapLangString("CM_UPDATER_STR_OK"));
    m_WaitOKBtn->setEnabled(false);
    m_WaitOKBtnState = true;
    m_WaitInfoCanceled = false;
    stopWaitTimeOut();
    m_WaitInfoTimeOut = m_platform.mainLoop.scheduleTimer(
        120.0, true, [this](platform::Timer& timer) { WaitInfoTimeOut(timer); });
    m_WaitWnd->orderFrontRegardless();
}

void UpdateControl::handleUpdateMessage(const plist::Dictionary& message) {
    if (m_UpdateState != STATE_IDLE)
        return;

    if (const plist::Value* language = message.find("UI_Language"))
        LoadLanguage(language->stringValue(), 1);

    _CLIENT_INFO info;
    std::memset(&info, 0, sizeof info);
    setClientInfoField(info.OS, message.stringValue("OS"));
    setClientInfoField(info.DeviceType, message.stringValue("DEVICE_TYPE"));
    setClientInfoField(info.UIVersion, message.stringValue("UI_VERSION"));
    setClientInfoField(info.FWVersion, message.stringValue("FW_VERSION"));
    setClientInfoField(info.UnsignedID, message.stringValue("UNSIGNED_ID"));
    setClientInfoField(info.ClientGroup, message.stringValue("CLIENT_GROUP"));
    setClientInfoField(info.Language, message.stringValue("LANGUAGE"));
    setClientInfoField(info.ExternPara, message.stringValue("EXTERN_PARA"));

    const int mode = message.intValue("UPDATE_MODE");
    m_UpdateMode = mode;

    if (const plist::Value* deviceState = message.find("DEVICE_STATE")) {
        m_haveDevice = deviceState->boolValue();
        m_DeviceType = message.stringValue("DEVICE_TYPE");
    }

    if (mode == UPDATE_MODE_MANUAL)
        openWaitWindow();

    m_pUCInterface->Update(static_cast<_UpdateMode>(mode), copyClientInfo(info));
    m_platform.log.line("Update Command");
}

void UpdateControl::handleDeviceStateMessage(const plist::Dictionary& message) {
    m_haveDevice = message.boolValue("DEVICE_STATE");
    if (!m_haveDevice) {
        m_DeviceType.clear();
    } else {
        m_DeviceType = message.stringValue("DEVICE_TYPE");
        if (m_FirmwareCancelWnd->isVisible() && HaveCompatibleDevice()) {
            endSheet(m_FirmwareCancelWnd);
            m_platform.log.line("End the FirmwareCancelWnd .");
            if (isProcExist(kDashboardBundleIdentifier))
                beginSheet(m_CloseUIWnd);
            else
                beginSheet(m_MakeSureModemWnd);
        }
    }
    m_platform.log.line("Device State Command");
}

void UpdateControl::stopWaitTimeOut() {
    if (m_WaitInfoTimeOut) {
        m_WaitInfoTimeOut->invalidate();
        m_WaitInfoTimeOut.reset();
    }
}

void UpdateControl::stopElapsedClock() {
    if (m_ProcessTimer) {
        m_ProcessTimer->invalidate();
        m_ProcessTimer.reset();
    }
    m_StartTime.reset();
}

void UpdateControl::ResetUpdateProcess() {
    switch (m_UpdateState) {
    case STATE_IDLE:
    case STATE_FINISHED:
        return;
    case STATE_CHECKING:
        m_UpdateState = STATE_IDLE;
        return;
    case STATE_DOWNLOADING:
    case STATE_UPDATING_FIRMWARE:
    case STATE_UPDATING_CM:
        stopElapsedClock();
        m_ProcessBar->setDoubleValue(0);
        [[fallthrough]];
    case STATE_SELECTING:
        m_PackageList.clear();
        [[fallthrough]];
    case STATE_NEW_VERSION:
        m_DescriptDic.clear();
        m_SelectDic.clear();
        m_PackageList.clear();
        m_PackageInfoView->setString("");
        m_PackageInfo.clear();
        m_UpdateState = STATE_IDLE;
        return;
    default:
        return;
    }
}

bool UpdateControl::HaveCompatibleDevice() {
    return m_haveDevice && m_DeviceType == m_PackageDeviceType;
}

bool UpdateControl::HaveFirmwareWithInfo(const plist::Dictionary&) {
    return false;
}

bool UpdateControl::HaveUIWithInfo(const plist::Dictionary&) {
    return false;
}

bool UpdateControl::isProcExist(const std::string& bundleIdentifier) {
    for (const auto& app : m_platform.workspace.launchedApplications()) {
        const plist::Value* id = app.find("NSApplicationBundleIdentifier");
        if (id && id->asString() && *id->asString() == bundleIdentifier)
            return true;
    }
    return false;
}

void UpdateControl::beginSheet(platform::Window* sheet) {
    m_Application->beginSheet(*sheet, *m_UpdateWnd);
}

void UpdateControl::endSheet(platform::Window* sheet) {
    sheet->orderOut();
    m_Application->endSheet(*sheet);
}

} // namespace tallowick
