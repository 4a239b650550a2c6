#include "Win32SetupOs.h"

#include "resource.h"

#include <process.h>

namespace kestrun {

Win32SetupOs::Win32SetupOs(HINSTANCE instance, WNDPROC windowProcedure)
    : instance_(instance), windowProcedure_(windowProcedure) {}

bool Win32SetupOs::createMainWindow() {
    LoadStringA(instance_, IDS_APP_TITLE, title_, sizeof title_);
    LoadStringA(instance_, IDC_KESTRUN, windowClass_, sizeof windowClass_);

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure_;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_KESTRUN));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_KESTRUN);
    windowClass.lpszClassName = windowClass_;
    windowClass.hIconSm = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_SMALL));
    RegisterClassExA(&windowClass);

    // Overlapped style without WS_VISIBLE: the window is never shown.
    mainWindow_ = CreateWindowExA(0, windowClass_, title_, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance_, nullptr);
    return mainWindow_ != nullptr;
}

std::string Win32SetupOs::currentDirectory() {
    // A directory longer than the usual 260 characters is read whole: when the buffer is too
    // small the call returns the size it needs, and we ask again with that size.
    std::string directory(MAX_PATH + 1, '\0');
    for (;;) {
        DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
        if (length == 0) {
            return {};
        }
        if (length < directory.size()) {
            directory.resize(length);
            return directory;
        }
        directory.assign(length, '\0');
    }
}

std::intptr_t Win32SetupOs::spawnAndWait(const std::string& program,
                                         const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    argv.push_back(nullptr);
    return _spawnv(_P_WAIT, program.c_str(), argv.data());
}

bool Win32SetupOs::hasIsWow64Process() {
    HMODULE kernel32 = GetModuleHandleA("kernel32");
    FARPROC address = kernel32 != nullptr ? GetProcAddress(kernel32, "IsWow64Process") : nullptr;
    // Through the generic function pointer type, which may be cast to any other.
    isWow64Process_ =
        reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void (*)()>(address));
    return isWow64Process_ != nullptr;
}

bool Win32SetupOs::isWow64Process(bool& wow64) {
    if (isWow64Process_ == nullptr) {
        return false;
    }
    BOOL flag = FALSE;
    if (!isWow64Process_(GetCurrentProcess(), &flag)) {
        return false;
    }
    wow64 = flag != FALSE;
    return true;
}

std::uint16_t Win32SetupOs::systemDefaultLangId() {
    return GetSystemDefaultLangID();
}

std::optional<SetupOs::Process> Win32SetupOs::createProcess(const std::string& application,
                                                            std::vector<char>& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &started)) {
        return std::nullopt;
    }
    return Process{started.hProcess, started.hThread};
}

void Win32SetupOs::waitForProcess(Handle process) {
    WaitForSingleObject(process, INFINITE);
}

bool Win32SetupOs::exitCodeOfProcess(Handle process, std::uint32_t& exitCode) {
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) {
        return false;
    }
    exitCode = code;
    return true;
}

void Win32SetupOs::closeHandle(Handle handle) {
    CloseHandle(handle);
}

} // namespace kestrun
