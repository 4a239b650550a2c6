#pragma once
// The update manager's one controller: the state of the update cycle, the bridge to the update
// agent, the package description and selection, the flashing controller and every window of
// the wizard. Its operations are defined in the folder of the subsystem they belong to.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ClientInfo.h"
#include "platform/AppleEvent.h"
#include "platform/ApplicationDelegate.h"
#include "platform/Controls.h"
#include "platform/Platform.h"
#include "platform/Plist.h"
#include "platform/WindowSet.h"

namespace tallowick::platform {
class AuthorizationRef;
}

namespace tallowick {

class UCInterface;
class XMLParse;
class firmControl;

// m_UpdateState
enum : std::int32_t {
    STATE_IDLE = 0,
    STATE_CHECKING = 1,
    STATE_NEW_VERSION = 2,
    STATE_SELECTING = 3,
    STATE_DOWNLOADING = 4,
    STATE_UPDATING_FIRMWARE = 5,
    STATE_UPDATING_CM = 6,
    STATE_FINISHED = 7,
};

// m_SelectedModule: bit 1 firmware, bit 2 dashboard
enum : std::int32_t {
    MODULE_NONE = 0,
    MODULE_FIRMWARE = 1,
    MODULE_CM = 2,
    MODULE_BOTH = 3,
};

// "CMD_ID" of a message dictionary
enum : std::int32_t {
    CMD_INIT = 1,
    CMD_UPDATE = 2,
    CMD_DEVICE_STATE = 3,
    CMD_CLOSE_NET = 4,
    CMD_CLOSE_UI = 5,
    CMD_UE_PROCESS = 6,
    CMD_UE_RESULT = 7,
};

inline constexpr const char* kDescriptionPath =
    "/System/Library/Auto_Update/download/Description.xml";
inline constexpr const char* kUserSelectionPath =
    "/System/Library/Auto_Update/download/UserSelection.xml";
inline constexpr const char* kAgentConfigPath = "/System/Library/ModemList/Update/UpdateCfg.ini";
inline constexpr const char* kDashboardBundleIdentifier = "com.brenlo.USBMODEM";

using LanguageTable = std::unordered_map<std::string, std::string>;

class UpdateControl : public platform::ApplicationDelegate, public platform::TableDataSource {
public:
    // ---- creation and destruction --------------------------------------------------------
    static std::unique_ptr<UpdateControl> init(const platform::Platform& platform);
    ~UpdateControl() override;
    UpdateControl(const UpdateControl&) = delete;
    UpdateControl& operator=(const UpdateControl&) = delete;

    // The interface description's connections: outlets and button actions.
    void connectInterface(const platform::WindowSet& windows);

    // ---- start-up and the message channel ---------------------------------------------------
    void awakeFromNib() override;
    void applicationWillFinishLaunching() override;
    void handleAppleEvent(const platform::AppleEvent& event, platform::AppleEvent* reply);
    void handleInitMessage(const plist::Dictionary& message);
    void handleUpdateMessage(const plist::Dictionary& message);
    void handleDeviceStateMessage(const plist::Dictionary& message);
    void handleCloseNetMessage(const plist::Dictionary& message);
    void handleCloseUIMessage(const plist::Dictionary& message);
    void handleUEProcessMessage(const plist::Dictionary& message);
    void handleUEResultMessage(const plist::Dictionary& message);

    // ---- controller queries ------------------------------------------------------------
    void ResetUpdateProcess();
    bool HaveCompatibleDevice();
    bool HaveFirmwareWithInfo(const plist::Dictionary& package);
    bool HaveUIWithInfo(const plist::Dictionary& package);
    bool isProcExist(const std::string& bundleIdentifier);

    // ---- agent events -------------------------------------------------------------------
    void ManualUpdateState(int state);
    void DownloadFinished(bool success);
    void DownloadProcess(const std::optional<std::string>& text, double percent);
    // A run of download reports that arrived back to back, applied as one: every text in
    // order as its own progress line (repeats dropped as usual), then the last percentage.
    void DownloadProcessBatch(const std::vector<std::optional<std::string>>& texts, double percent);

    // ---- package catalogue -----------------------------------------------------------------
    void HaveNewVersion();
    void ParseUpdatePackageInfo();

    // ---- wizard windows ----------------------------------------------------------------------
    void WaitInfoOK(platform::Control* sender);
    void WaitInfoTimeOut(platform::Timer& timer);
    void UpdateInfoCancel(platform::Control* sender);
    void UpdateInfoNext(platform::Control* sender);
    void UpdateSelBack(platform::Control* sender);
    void UpdateSelStartUpdate(platform::Control* sender);
    void UpdateSelCancel(platform::Control* sender);
    void UpdateCancelOK(platform::Control* sender);

    // ---- module selection table ----------------------------------------------------------------
    int numberOfRowsInTableView(platform::PackageTable& table) override;
    plist::Value tableViewObjectValueForTableColumnRow(platform::PackageTable& table,
                                                       const std::string& column, int row) override;
    void tableViewWillDisplayCellForTableColumnRow(platform::PackageTable& table,
                                                   std::string& cellTitle,
                                                   const std::string& column, int row) override;
    void tableViewSelectionDidChange(platform::PackageTable& table) override;
    bool tableViewShouldEditTableColumnRow(platform::PackageTable& table, const std::string& column,
                                           int row) override;
    void clickcheck(platform::Control* sender);

    // ---- progress display -------------------------------------------------------------------
    void AddProcessInfo(const std::optional<std::string>& text, bool needCheck);
    void UpdateTextColorFor(int state, int module);
    void UpdateElapseTime(platform::Timer& timer);

    // ---- configuration and language -----------------------------------------------------------
    void LoadCfgFile();
    void LoadLanguage(const std::optional<std::string>& language, int type);
    std::string MapLangString(const std::string& key);
    void UpdateNibWording();

    // ---- dashboard installation -----------------------------------------------------------------
    void GoToUIUpdate();
    void StartUIUpdate();
    void UnZipFile(const std::string& archivePath);
    bool killMacSwapper();
    bool startMacSwapper();
    std::int32_t creatAuthorization();
    std::int32_t AuthStartEngine();
    void releaseAuthorization();
    void CancelUIUpdate();
    bool UpdateUIProcess(double fraction, int processState);
    bool UpdateUIResult(int result);

    // ---- confirmation sheets
    // ----------------------------------------------------------------------
    void CancelFirmwareUpdate(platform::Control* sender);
    void CloseUIOK(platform::Control* sender);
    void CloseUICancel(platform::Control* sender);
    void MakeSureOK(platform::Control* sender);
    void MakeSureCancel(platform::Control* sender);
    void ReInsertModemOK(platform::Control* sender);

    // ---- firmware flashing
    // -----------------------------------------------------------------------
    bool UpdateFWProcess(double percent, int stage);
    bool UpdateFWResult(int result);

    // The services the controller works through.
    const platform::Platform& platform() const { return m_platform; }

private:
    explicit UpdateControl(const platform::Platform& platform);
    void openWaitWindow();
    void beginSheet(platform::Window* sheet);
    void endSheet(platform::Window* sheet);
    void stopElapsedClock();
    // Stops and drops the wait window's time-out timer, if there is one.
    void stopWaitTimeOut();
    void startElapsedClock();
    // Appends progress lines by the rules of AddProcessInfo and shows the list once.
    void appendProcessLines(const std::vector<std::optional<std::string>>& texts, bool needCheck);
    void showUpdateWindow();

    const platform::Platform m_platform;

public:
    // ---- fields, in their declared order ---------------------------------------------------
    std::unique_ptr<const LanguageTable> m_LangDict;
    mutable std::mutex m_DictLock;
    std::string m_CurLang;
    std::optional<plist::Dictionary> m_ConfigDict;
    std::unique_ptr<UCInterface> m_pUCInterface;
    platform::AuthorizationRef* m_AuthRef = nullptr;
    XMLParse* m_XMLParse = nullptr; // the shared instance, lives until the program ends
    std::int32_t m_UpdateState = STATE_IDLE;
    std::int32_t m_SelectedModule = MODULE_NONE;
    plist::Dictionary m_DescriptDic;
    plist::Dictionary m_SelectDic;
    std::unique_ptr<firmControl> m_FirmWareControl;
    std::vector<std::string> m_ProcessViewList;
    std::int32_t m_UpdateMode = 0;
    std::shared_ptr<platform::Timer> m_WaitInfoTimeOut;
    bool m_WaitOKBtnState = false;
    bool m_WaitInfoCanceled = false;
    std::string m_PackageInfo;
    plist::Array m_PackageList;
    std::string m_DeviceType;
    std::string m_PackageDeviceType;
    bool m_haveDevice = false;
    std::shared_ptr<platform::Timer> m_ProcessTimer;
    std::optional<double> m_StartTime;
    bool m_isDownfailed = false;

    // ---- windows, views and buttons (belong to the interface description) -----------------------
    platform::Window* m_WaitWnd = nullptr;
    platform::TextView* m_WaitInfoView = nullptr;
    platform::Button* m_WaitOKBtn = nullptr;

    platform::Window* m_UpdateInfoWnd = nullptr;
    platform::TextView* m_PackageInfoView = nullptr;
    platform::Button* m_InfoCancelBtn = nullptr;
    platform::Button* m_InfoNextBtn = nullptr;

    platform::Window* m_ModuleSelWnd = nullptr;
    platform::TextView* m_InfoView = nullptr;
    platform::PackageTable* m_PackageListView = nullptr;
    platform::Button* m_UpdateBtn = nullptr;
    platform::Button* m_SelBackBtn = nullptr;
    platform::Button* m_SelCancelBtn = nullptr;

    platform::Window* m_UpdateWnd = nullptr;
    platform::Button* m_OKCancelBtn = nullptr;
    platform::TextView* m_ProcessInfoView = nullptr;
    platform::ProgressBar* m_ProcessBar = nullptr;
    platform::Label* m_ElapseTime = nullptr;
    platform::Label* m_DownLoadText = nullptr;
    platform::Label* m_UpdateFWText = nullptr;
    platform::Label* m_UpdateUIText = nullptr;
    platform::Label* m_UpdateEndText = nullptr;

    platform::Window* m_FirmwareCancelWnd = nullptr;
    platform::Label* m_ModemText = nullptr;
    platform::Button* m_FirmwareCancelBtn = nullptr;

    platform::Window* m_CloseUIWnd = nullptr;
    platform::Label* m_CloseUIText = nullptr;
    platform::Button* m_CloseUIOK = nullptr;
    platform::Button* m_CloseUICancel = nullptr;

    platform::Window* m_MakeSureModemWnd = nullptr;
    platform::Label* m_MakeSureText = nullptr;
    platform::Button* m_MakeSureOKBtn = nullptr;
    platform::Button* m_MakeSureCancelBtn = nullptr;

    platform::Window* m_ReInsertModemWnd = nullptr;
    platform::Label* m_ReInsertModemText = nullptr;
    platform::Button* m_ReInsertModemOK = nullptr;

    platform::Application* m_Application = nullptr;
};

// The one controller, written at the end of init; the agent's and the flashing worker's
// callbacks reach it through here (they run their work on the UI thread).
extern std::atomic<UpdateControl*> pUpdateControl;

} // namespace tallowick
