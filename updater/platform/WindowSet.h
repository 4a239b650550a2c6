#pragma once
// The loaded interface description: every window, sheet and control of the wizard, named by
// the controller field that refers to it, and the application object.

#include <string>
#include <string_view>

#include "platform/Controls.h"

namespace tallowick::platform {

class Application {
public:
    virtual ~Application() = default;
    // Shows a sheet attached to a window (no delegate, no end operation).
    virtual void beginSheet(Window& sheet, Window& modalFor) = 0;
    virtual void endSheet(Window& sheet) = 0;
    // Ends the application's main loop.
    virtual void terminate() = 0;
};

// One expansion per control, so that backends, the trace and the outlet connections all
// follow the same list.
#define TALLOWICK_WINDOWS(X)                                                                       \
    X(m_WaitWnd)                                                                                   \
    X(m_UpdateInfoWnd)                                                                             \
    X(m_ModuleSelWnd)                                                                              \
    X(m_UpdateWnd)                                                                                 \
    X(m_FirmwareCancelWnd)                                                                         \
    X(m_CloseUIWnd)                                                                                \
    X(m_MakeSureModemWnd)                                                                          \
    X(m_ReInsertModemWnd)

#define TALLOWICK_BUTTONS(X)                                                                       \
    X(m_WaitOKBtn)                                                                                 \
    X(m_InfoCancelBtn)                                                                             \
    X(m_InfoNextBtn)                                                                               \
    X(m_UpdateBtn)                                                                                 \
    X(m_SelBackBtn)                                                                                \
    X(m_SelCancelBtn)                                                                              \
    X(m_OKCancelBtn)                                                                               \
    X(m_FirmwareCancelBtn)                                                                         \
    X(m_CloseUIOK)                                                                                 \
    X(m_CloseUICancel)                                                                             \
    X(m_MakeSureOKBtn)                                                                             \
    X(m_MakeSureCancelBtn)                                                                         \
    X(m_ReInsertModemOK)

#define TALLOWICK_TEXTVIEWS(X)                                                                     \
    X(m_WaitInfoView)                                                                              \
    X(m_PackageInfoView)                                                                           \
    X(m_InfoView)                                                                                  \
    X(m_ProcessInfoView)

#define TALLOWICK_LABELS(X)                                                                        \
    X(m_ElapseTime)                                                                                \
    X(m_DownLoadText)                                                                              \
    X(m_UpdateFWText)                                                                              \
    X(m_UpdateUIText)                                                                              \
    X(m_UpdateEndText)                                                                             \
    X(m_ModemText)                                                                                 \
    X(m_CloseUIText)                                                                               \
    X(m_MakeSureText)                                                                              \
    X(m_ReInsertModemText)

#define TALLOWICK_PROGRESSBARS(X) X(m_ProcessBar)
#define TALLOWICK_TABLES(X) X(m_PackageListView)

struct WindowSet {
#define TALLOWICK_FIELD(T, name) T* name = nullptr;
#define TALLOWICK_WINDOW_FIELD(name) TALLOWICK_FIELD(Window, name)
#define TALLOWICK_BUTTON_FIELD(name) TALLOWICK_FIELD(Button, name)
#define TALLOWICK_TEXTVIEW_FIELD(name) TALLOWICK_FIELD(TextView, name)
#define TALLOWICK_LABEL_FIELD(name) TALLOWICK_FIELD(Label, name)
#define TALLOWICK_PROGRESSBAR_FIELD(name) TALLOWICK_FIELD(ProgressBar, name)
#define TALLOWICK_TABLE_FIELD(name) TALLOWICK_FIELD(PackageTable, name)
    TALLOWICK_WINDOWS(TALLOWICK_WINDOW_FIELD)
    TALLOWICK_BUTTONS(TALLOWICK_BUTTON_FIELD)
    TALLOWICK_TEXTVIEWS(TALLOWICK_TEXTVIEW_FIELD)
    TALLOWICK_LABELS(TALLOWICK_LABEL_FIELD)
    TALLOWICK_PROGRESSBARS(TALLOWICK_PROGRESSBAR_FIELD)
    TALLOWICK_TABLES(TALLOWICK_TABLE_FIELD)
#undef TALLOWICK_WINDOW_FIELD
#undef TALLOWICK_BUTTON_FIELD
#undef TALLOWICK_TEXTVIEW_FIELD
#undef TALLOWICK_LABEL_FIELD
#undef TALLOWICK_PROGRESSBAR_FIELD
#undef TALLOWICK_TABLE_FIELD
#undef TALLOWICK_FIELD
    Application* application = nullptr;
};

// The column identifiers of the package table, in their order.
inline constexpr std::string_view kPackageTableColumns[] = {"checkstate", "Version", "Size",
                                                            "PriorityFlag"};

} // namespace tallowick::platform
