// The connections that the interface description makes when it is loaded: the controller's
// window and control fields, the buttons' actions and the package table's data source.

#include "core/UpdateControl.h"

namespace tallowick {

void UpdateControl::connectInterface(const platform::WindowSet& w) {
#define CONNECT(name) name = w.name;
    TALLOWICK_WINDOWS(CONNECT)
    TALLOWICK_BUTTONS(CONNECT)
    TALLOWICK_TEXTVIEWS(CONNECT)
    TALLOWICK_LABELS(CONNECT)
    TALLOWICK_PROGRESSBARS(CONNECT)
    TALLOWICK_TABLES(CONNECT)
#undef CONNECT
    m_Application = w.application;

    const struct {
        platform::Button* button;
        void (UpdateControl::*action)(platform::Control*);
    } actions[] = {
        {m_WaitOKBtn, &UpdateControl::WaitInfoOK},
        {m_InfoCancelBtn, &UpdateControl::UpdateInfoCancel},
        {m_InfoNextBtn, &UpdateControl::UpdateInfoNext},
        {m_UpdateBtn, &UpdateControl::UpdateSelStartUpdate},
        {m_SelBackBtn, &UpdateControl::UpdateSelBack},
        {m_SelCancelBtn, &UpdateControl::UpdateSelCancel},
        {m_OKCancelBtn, &UpdateControl::UpdateCancelOK},
        {m_FirmwareCancelBtn, &UpdateControl::CancelFirmwareUpdate},
        {m_CloseUIOK, &UpdateControl::CloseUIOK},
        {m_CloseUICancel, &UpdateControl::CloseUICancel},
        {m_MakeSureOKBtn, &UpdateControl::MakeSureOK},
        {m_MakeSureCancelBtn, &UpdateControl::MakeSureCancel},
        {m_ReInsertModemOK, &UpdateControl::ReInsertModemOK},
    };
    for (const auto& a : actions) {
        platform::Button* sender = a.button;
        auto action = a.action;
        sender->setAction([this, sender, action] { (this->*action)(sender); });
    }
    m_PackageListView->setDataSource(this);
}

} // namespace tallowick
