// New-version evaluation: the check result, stale downloads and the package list.

#include <optional>
#include <string>

#include "catalogue/XMLParse.h"
#include "core/UpdateControl.h"
#include "core/agent/UpdateAgent.h"

namespace tallowick {

namespace {

constexpr const char* kLastDownloadPath = "/System/Library/ModemList/LastDownload.plist";
constexpr const char* kDownloadFolder = "/System/Library/Auto_Update/download";
constexpr const char* kDashboardPackage = "CMUpdatePackage.zip";
constexpr const char* kFirmwarePackage = "FirmwareUpdatePackage.zip";

// The version that a description's "UpdateFile" array names for a package: the first entry
// whose "Filename" is the package's name decides; no array, no such entry or no "Version"
// gives none.
std::optional<std::string> packageVersion(const plist::Dictionary& description,
                                          const std::string& packageName) {
    const plist::Value* files = description.find("UpdateFile");
    if (!files || !files->asArray())
        return std::nullopt;
    for (const plist::Value& item : *files->asArray()) {
        const plist::Dictionary* entry = item.asDictionary();
        if (!entry)
            continue;
        const plist::Value* filename = entry->find("Filename");
        if (!filename || !filename->asString() || *filename->asString() != packageName)
            continue;
        const plist::Value* version = entry->find("Version");
        if (version && version->asString())
            return *version->asString();
        return std::nullopt;
    }
    return std::nullopt;
}

const char* flagMessageKey(std::int64_t flag) {
    switch (flag) {
    case 0:
        return "CM_UPDATER_CHECK_VERSION_FAILED_STR";
    case 1:
        return "CM_UPDATER_CHECKSTATE_ILLEGAL_ID_STR";
    case 2:
        return "CM_UPDATER_CHECKSTATE_NOTFOUND_PACKAGE_STR";
    case 3:
        return "CM_UPDATER_CHECKSTATE_NOTFOUND_VERSION_STR";
    default:
        return nullptr;
    }
}

} // namespace

void UpdateControl::HaveNewVersion() {
    const platform::FileSystem& files = m_platform.fileSystem;
    platform::Log& log = m_platform.log;

    // A manual check whose wait window the user has cancelled: nothing to show, nothing to do.
    if (m_WaitInfoCanceled && m_UpdateMode == UPDATE_MODE_MANUAL)
        return;

    stopWaitTimeOut();
    m_WaitOKBtnState = true;
    m_WaitOKBtn->setTitle(MapLangString("CM_UPDATER_STR_OK"));

    if (!files.fileExists(kDescriptionPath)) {
        log.line("Function:HaveNewVersion\t\tError:Can not find Description XML");
        ResetUpdateProcess();
        return;
    }

    // An unreadable description leaves the dictionary empty: no packages on offer.
    m_DescriptDic.clear();
    if (m_XMLParse)
        m_XMLParse->getUpdateInfo(m_DescriptDic);

    // The description is recorded as the last one evaluated; failures are not reported.
    const auto writeLastDownload = [&] {
        files.writeFileAtomically(kLastDownloadPath, plist::toXml(plist::Value(m_DescriptDic)));
    };
    // A download of an earlier version is stale: the partial download goes first, else the
    // complete package; at most one of the two per run.
    const auto removeStalePackage = [&](const std::string& package) {
        const std::string partial = std::string(kDownloadFolder) + "/" + package + ".tmp";
        const std::string complete = std::string(kDownloadFolder) + "/" + package;
        if (files.fileExists(partial))
            files.removeItem(partial);
        else if (files.fileExists(complete))
            files.removeItem(complete);
        else
            log.puts("Have nothing should be deleted!");
    };

    if (!files.fileExists(kLastDownloadPath)) {
        writeLastDownload();
    } else {
        plist::Dictionary last;
        if (const std::optional<std::string> bytes = files.readFile(kLastDownloadPath)) {
            if (std::optional<plist::Value> value = plist::parse(*bytes)) {
                if (const plist::Dictionary* dictionary = value->asDictionary())
                    last = *dictionary;
            }
        }
        for (const char* package : {kDashboardPackage, kFirmwarePackage}) {
            const std::optional<std::string> lastVersion = packageVersion(last, package);
            const std::optional<std::string> newVersion = packageVersion(m_DescriptDic, package);
            if (lastVersion && newVersion && *lastVersion == *newVersion) {
                log.puts("To do nothong!");
            } else {
                removeStalePackage(package);
                writeLastDownload();
            }
        }
    }

    if (const plist::Value* flag = m_DescriptDic.find("Flag")) {
        if (m_UpdateState != STATE_CHECKING || !m_WaitWnd->isVisible())
            return;
        if (const char* key = flagMessageKey(flag->longLongValue())) {
            m_WaitInfoView->setString(MapLangString(key));
            m_WaitOKBtn->setEnabled(true);
        }
        return;
    }

    ParseUpdatePackageInfo();
    if (m_UpdateState == STATE_CHECKING) {
        if (m_WaitWnd->isVisible())
            m_WaitWnd->orderOut();
    } else if (m_UpdateState != STATE_IDLE) {
        return;
    }

    m_UpdateState = STATE_NEW_VERSION;
    m_PackageInfoView->setString(m_PackageInfo);
    m_UpdateBtn->setEnabled(false);
    m_UpdateInfoWnd->orderFrontRegardless();
}

void UpdateControl::ParseUpdatePackageInfo() {
    m_PackageInfo.clear();
    m_PackageInfo += MapLangString("CM_UPDATER_CONFIRM_UPDATE_STR");
    m_PackageInfo += "\r\n\r\n";
    m_PackageInfo += MapLangString("CM_UPDATER_VERSION_STR") + ":" +
                     m_DescriptDic.stringValue("Version") + "\r\n";
    m_PackageInfo += MapLangString("CM_UPDATER_DESCRIPTION_STR") + ":" +
                     m_DescriptDic.stringValue("Description") + "\r\n";

    m_PackageDeviceType = m_DescriptDic.stringValue("Device");

    m_PackageList.clear();
    const plist::Value* files = m_DescriptDic.find("UpdateFile");
    if (!files || !files->asArray())
        return;
    for (const plist::Value& item : *files->asArray()) {
        plist::Dictionary entry;
        if (const plist::Dictionary* package = item.asDictionary())
            entry = *package;
        entry.set("checkstate", false);
        m_PackageList.emplace_back(std::move(entry));
    }
}

} // namespace tallowick
