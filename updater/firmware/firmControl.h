#pragma once
// The flashing controller: loads the port I/O library and the platform's flashing library and
// runs the flashing on a worker thread.

#include "firmware/FlashingLibrary.h"

namespace tallowick {

class firmControl {
public:
    firmControl() = default;
    firmControl(const firmControl&) = delete;
    firmControl& operator=(const firmControl&) = delete;

    _IDownloadEvent dun_download_fun{};
    _UIDownloadEvent ui_download_fun{};
    void* dunlib_handle = nullptr;
    void* milib_handle = nullptr;
};

} // namespace tallowick
