// Configuration, language tables and the wording of every window.

#include <string_view>
#include <utility>

#include "core/UpdateControl.h"
#include "localisation/LanguageKeys.h"
#include "localisation/StringsFile.h"

namespace tallowick {

namespace {

constexpr const char* kConfigPath = "/System/Library/ModemList/Update/UpdateCfg.plist";

// The header key of a package table column, by the column's identifier.
const char* headerKeyOfColumn(std::string_view identifier) {
    if (identifier == "checkstate")
        return langkey::Kind;
    if (identifier == "Version")
        return langkey::Version;
    if (identifier == "Size")
        return langkey::SizeByte;
    if (identifier == "PriorityFlag")
        return langkey::Priority;
    return nullptr;
}

} // namespace

void UpdateControl::LoadCfgFile() {
    m_ConfigDict.reset();
    const std::optional<std::string> bytes = m_platform.fileSystem.readFile(kConfigPath);
    if (!bytes)
        return;
    std::optional<plist::Value> root = plist::parse(*bytes);
    if (!root || !root->isDictionary())
        return;
    m_ConfigDict = std::move(*root->asDictionary());
}

void UpdateControl::LoadLanguage(const std::optional<std::string>& language, int type) {
    // With no preferred language at all the name is empty: no configuration entry has that
    // name, so the "DEFAULT" file is loaded.
    std::string name;
    if (type == 0) {
        const std::vector<std::string> preferred = m_platform.userDefaults.appleLanguages();
        if (!preferred.empty())
            name = preferred.front();
    } else if (language) {
        name = *language;
    }

    if (name == m_CurLang)
        return;

    const plist::Value* entry = m_ConfigDict ? m_ConfigDict->find("Language") : nullptr;
    const plist::Dictionary* languages = entry ? entry->asDictionary() : nullptr;
    if (!languages) {
        m_platform.log.line("The language dict isn't exist!");
        return;
    }

    const plist::Value* fileName = languages->find(name);
    if (!fileName)
        fileName = languages->find("DEFAULT");
    std::optional<std::string> bytes;
    if (fileName && fileName->asString() && !fileName->asString()->empty())
        bytes = m_platform.bundle.contentsOfResource(*fileName->asString());
    if (!bytes) {
        m_platform.log.line("Language file doesen't exist.");
        return;
    }

    // Parsed outside the lock; only the exchange of the tables happens under it, and the old
    // table is freed after the lock is released.
    std::optional<LanguageTable> parsed = parseStringsFile(*bytes);
    const bool loaded = parsed.has_value();
    std::unique_ptr<const LanguageTable> table;
    if (loaded)
        table = std::make_unique<const LanguageTable>(std::move(*parsed));
    {
        std::lock_guard lock(m_DictLock);
        m_LangDict.swap(table);
    }
    table.reset();

    if (!loaded) {
        m_platform.log.line("Language dictionary init failed.");
        return;
    }

    UpdateNibWording();
    m_CurLang = name;
    // The text comes from the file: written as it stands, never used as a format.
    m_platform.log.line(MapLangString(langkey::Language));
}

std::string UpdateControl::MapLangString(const std::string& key) {
    {
        std::lock_guard lock(m_DictLock);
        if (!m_LangDict)
            return key;
        const auto found = m_LangDict->find(key);
        if (found != m_LangDict->end())
            return found->second;
    }
    m_platform.log.line("The value for " + key + " is nil.");
    return key;
}

void UpdateControl::UpdateNibWording() {
    // A control that the window set does not have is skipped, as a message to nil would be.
    auto title = [this](platform::Window* window, const char* key) {
        if (window)
            window->setTitle(MapLangString(key));
    };
    auto label = [this](platform::Button* button, const char* key) {
        if (button)
            button->setTitle(MapLangString(key));
    };
    auto text = [this](platform::Label* field, const char* key) {
        if (field)
            field->setStringValue(MapLangString(key));
    };
    using namespace langkey;

    title(m_WaitWnd, CM_UPDATER_CAPTION_STR);
    label(m_WaitOKBtn, CM_UPDATER_STR_OK);
    title(m_UpdateInfoWnd, CM_UPDATER_CAPTION_STR);
    label(m_InfoCancelBtn, CM_UPDATER_STR_CANCEL);
    label(m_InfoNextBtn, CM_UPDATER_STR_NEXT);
    title(m_ModuleSelWnd, CM_UPDATER_CAPTION_STR);
    label(m_UpdateBtn, CM_UPDATER_STR_UPDATE);
    label(m_SelBackBtn, CM_UPDATER_STR_BACK);
    label(m_SelCancelBtn, CM_UPDATER_STR_CANCEL);
    if (m_PackageListView) {
        // The table reports no identifier past its last column.
        for (int column = 0;; ++column) {
            const std::string identifier = m_PackageListView->columnIdentifier(column);
            if (identifier.empty())
                break;
            if (const char* key = headerKeyOfColumn(identifier))
                m_PackageListView->setColumnHeader(identifier, MapLangString(key));
        }
    }
    text(m_MakeSureText, CM_UPDATER_UPDATE_KEEPPOWER_STR);
    label(m_MakeSureOKBtn, CM_UPDATER_STR_OK);
    label(m_MakeSureCancelBtn, CM_UPDATER_STR_CANCEL);
    label(m_OKCancelBtn,
          m_UpdateState == STATE_FINISHED ? CM_UPDATER_STR_OK : CM_UPDATER_STR_CANCEL);
    text(m_ModemText, CM_UPDATER_NOTFOUND_DEVICE_STR);
    label(m_FirmwareCancelBtn, CM_UPDATER_STR_CANCEL);
    text(m_CloseUIText, CM_UPDATE_CLOSEUI_STR);
    label(m_CloseUICancel, CM_UPDATER_STR_CANCEL);
    label(m_CloseUIOK, CM_UPDATER_STR_OK);
    title(m_UpdateWnd, CM_UPDATER_CAPTION_STR);
    text(m_DownLoadText, CM_UPDATE_DOWNLOAD_STR);
    text(m_UpdateFWText, CM_UPDATE_UPDATEFIRMWARE_STR);
    text(m_UpdateUIText, CM_UPDATE_UPDATECM_STR);
    text(m_UpdateEndText, CM_UPDATE_UPDATEEND_STR);
    title(m_ReInsertModemWnd, CM_UPDATER_CAPTION_STR);
    text(m_ReInsertModemText, CM_UPDATER_REINSERT_DEVICE_STR);
    label(m_ReInsertModemOK, CM_UPDATER_STR_OK);
}

} // namespace tallowick
