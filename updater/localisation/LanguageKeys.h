#pragma once
// Every language key the program looks up. Each key is a constant of the same name in
// `langkey` (the one exception: "Size(Byte)" is langkey::SizeByte); kLanguageKeys lists them
// all. The language files carry exactly these keys.

#include <cstddef>
#include <iterator>
#include <string_view>

// Window titles, buttons, labels, column headers, status and progress lines.
#define TALLOWICK_TEXT_KEYS(X)                                                                     \
    X(CM_UPDATER_CAPTION_STR)                                                                      \
    X(CM_UPDATER_STR_OK)                                                                           \
    X(CM_UPDATER_STR_CANCEL)                                                                       \
    X(CM_UPDATER_STR_NEXT)                                                                         \
    X(CM_UPDATER_STR_UPDATE)                                                                       \
    X(CM_UPDATER_STR_BACK)                                                                         \
    X(Kind)                                                                                        \
    X(Version)                                                                                     \
    X(Priority)                                                                                    \
    X(Language)                                                                                    \
    X(CM_UPDATE_DOWNLOAD_STR)                                                                      \
    X(CM_UPDATE_UPDATEFIRMWARE_STR)                                                                \
    X(CM_UPDATE_UPDATECM_STR)                                                                      \
    X(CM_UPDATE_UPDATEEND_STR)                                                                     \
    X(CM_UPDATER_NOTFOUND_DEVICE_STR)                                                              \
    X(CM_UPDATE_CLOSEUI_STR)                                                                       \
    X(CM_UPDATER_UPDATE_KEEPPOWER_STR)                                                             \
    X(CM_UPDATER_REINSERT_DEVICE_STR)                                                              \
    X(CM_UPDATER_CHECKSTATE_LOCALVERSION_STR)                                                      \
    X(CM_UPDATER_CHECKSTATE_SERVICEVERSION_STR)                                                    \
    X(CM_UPDATER_CHECKSTATE_DOWNLOADING_STR)                                                       \
    X(CM_UPDATER_CHECKSTATE_DOWNLOADSUCCEED_STR)                                                   \
    X(CM_UPDATER_CHECKSTATE_DOWNLOADFAILED_STR)                                                    \
    X(CM_UPDATER_CHECKSTATE_DOWNLOADREFUSED_STR)                                                   \
    X(CM_UPDATER_CHECKSTATE_NODOWNLOAD_STR)                                                        \
    X(CM_UPDATER_CHECK_VERSION_FAILED_STR)                                                         \
    X(CM_UPDATER_CHECKSTATE_ILLEGAL_ID_STR)                                                        \
    X(CM_UPDATER_CHECKSTATE_NOTFOUND_PACKAGE_STR)                                                  \
    X(CM_UPDATER_CHECKSTATE_NOTFOUND_VERSION_STR)                                                  \
    X(CM_UPDATER_CONFIRM_UPDATE_STR)                                                               \
    X(CM_UPDATER_VERSION_STR)                                                                      \
    X(CM_UPDATER_DESCRIPTION_STR)                                                                  \
    X(CM_UPDATER_STARTUPDATE_CM_STR)                                                               \
    X(CM_UPDATER_UNZIP_PACKAGE_STR)                                                                \
    X(CM_UPDATER_BACKUPVERSION)                                                                    \
    X(CM_UPDATER_UPDATE_CM_STR)                                                                    \
    X(CM_UPDATER_STARTROLLBACK_STR)                                                                \
    X(CM_UPDATER_UPDATESUCCESS)                                                                    \
    X(CM_UPDATER_UPDATE_CM_FAILED_STR)                                                             \
    X(CM_UPDATER_UNZIP_FAILED_STR)                                                                 \
    X(CM_UPDATER_BACKUPVERSION_FAILED)                                                             \
    X(CM_UPDATER_ROLLBACK_FAILED_STR)                                                              \
    X(CM_UPDATE_AUTHFAILED_STR)                                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_SUCCEED_STR)                                                      \
    X(CM_UPDATER_UPDATE_FIRMWARE_FAILED_STR)

// The texts of the flashing stages, in the order of the stage table's first use of each.
#define TALLOWICK_FIRMWARE_STAGE_KEYS(X)                                                           \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_EFS_STR)                                                     \
    X(CM_UPDATER_UPDATE_FIRMWARE_ENTER_STATUE_STR)                                                 \
    X(CM_UPDATER_UPDATE_FIRMWARE_CLOSE_AUTORUN_STR)                                                \
    X(CM_UPDATER_UPDATE_FIRMWARE_RESET_DMP_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_BACKUP_NV_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_ENTER_QUAL_STR)                                                   \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_ARMPRG_STR)                                                  \
    X(CM_UPDATER_UPDATE_FIRMWARE_SKIP_ARMPRG_STR)                                                  \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_TABLE_STR)                                                   \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_QCSBL_STR)                                                   \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_OEMSBL_STR)                                                  \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_VERSION_STR)                                                 \
    X(CM_UPDATER_UPDATE_FIRMWARE_RESET_SDP_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_RESTORE_NV_STR)                                                   \
    X(CM_UPDATER_UPDATE_FIRMWARE_CLOSE_STR)                                                        \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_FAIL_STR)                                                   \
    X(CM_UPDATER_UPDATE_FIRMWARE_SUCCESS_STR)                                                      \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_NOPHONE_STR)                                                \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_OPENFILEFAIL_STR)                                           \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_CREATENVFAIL_STR)                                           \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_BACKUPFAIL_STR)                                             \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_SWITCHFAIL_STR)                                             \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_HANDFAIL_STR)                                               \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_ALARMPRGFAIL_STR)                                           \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_SKIPFAIL_STR)                                               \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_DLFAIL_STR)                                                 \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_RESETFAIL_STR)                                              \
    X(CM_UPDATER_UPDATE_FIRMWARE_ERROR_RESORFAIL_STR)                                              \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_DBL_STR)                                                     \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_FSBL_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_OSBL_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_DSP1_STR)                                                    \
    X(CM_UPDATER_UPDATE_FIRMWARE_DOWN_DSP2_STR)

namespace tallowick::langkey {

#define TALLOWICK_LANGKEY_CONSTANT(name) inline constexpr char name[] = #name;
TALLOWICK_TEXT_KEYS(TALLOWICK_LANGKEY_CONSTANT)
TALLOWICK_FIRMWARE_STAGE_KEYS(TALLOWICK_LANGKEY_CONSTANT)
#undef TALLOWICK_LANGKEY_CONSTANT

// Header of the package table's size column.
inline constexpr char SizeByte[] = "Size(Byte)";

#define TALLOWICK_LANGKEY_ENTRY(name) std::string_view(name),
inline constexpr std::string_view kFirmwareStageKeys[] = {
    TALLOWICK_FIRMWARE_STAGE_KEYS(TALLOWICK_LANGKEY_ENTRY)};

inline constexpr std::string_view kLanguageKeys[] = {
    TALLOWICK_TEXT_KEYS(TALLOWICK_LANGKEY_ENTRY) std::string_view(SizeByte),
    TALLOWICK_FIRMWARE_STAGE_KEYS(TALLOWICK_LANGKEY_ENTRY)};
#undef TALLOWICK_LANGKEY_ENTRY

static_assert(std::size(kFirmwareStageKeys) == 33);
static_assert(std::size(kLanguageKeys) == 46 + 33);

} // namespace tallowick::langkey
