#pragma once
// The binary records shared with the platform flashing libraries: the callbacks handed to a
// library and the library's entry points. Order and pointer width bind.

extern "C" {

struct _IDownloadEvent {
    void* NotifyUIChange;
    void* CallbackFun_Open;
    void* CallbackFun_Close;
    void* CallbackFun_IsOpened;
    void* CallbackFun_ReadData;
    void* CallbackFun_SendData;
    void* CallbackFun_ReadDataWaiting;
};

struct _UIDownloadEvent {
    void* download;
    void* initialize;
    void* registerEvent;
    void* checkPlatform;
};
}
