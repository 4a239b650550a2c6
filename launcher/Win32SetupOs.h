// SetupOs over the Windows API and the C run time.
#pragma once

#include "SetupChain.h"

#include <windows.h>

namespace kestrun {

class Win32SetupOs final : public SetupOs {
public:
    Win32SetupOs(HINSTANCE instance, WNDPROC windowProcedure);

    bool createMainWindow() override;
    std::string currentDirectory() override;
    std::intptr_t spawnAndWait(const std::string& program,
                               const std::vector<std::string>& args) override;
    bool hasIsWow64Process() override;
    bool isWow64Process(bool& wow64) override;
    std::uint16_t systemDefaultLangId() override;
    std::optional<Process> createProcess(const std::string& application,
                                         std::vector<char>& commandLine) override;
    void waitForProcess(Handle process) override;
    bool exitCodeOfProcess(Handle process, std::uint32_t& exitCode) override;
    void closeHandle(Handle handle) override;

private:
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

    HINSTANCE instance_;
    WNDPROC windowProcedure_;
    char title_[100] = {};
    char windowClass_[100] = {};
    HWND mainWindow_ = nullptr;
    IsWow64ProcessFunction isWow64Process_ = nullptr;
};

} // namespace kestrun
