// Test driver that starts Kestrun.exe under Wine the way Windows Explorer or a script would: with
// an exact command line, read from "kestrun-args.txt" in the current folder and put after
// "Kestrun.exe ". Once Kestrun has ended it writes "kestrun-result.txt": Kestrun's full 32-bit
// exit code, the system default language and whether this process runs under WOW64, so that a
// test can tell which Wine setting it ran under.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string readAll(const char* path) {
    std::string text;
    if (std::FILE* file = std::fopen(path, "rb")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, n);
        }
        std::fclose(file);
    }
    return text;
}

bool underWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string arguments = readAll("kestrun-args.txt");
    std::string commandLine = "Kestrun.exe";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }

    std::string result;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (CreateProcessA("Kestrun.exe", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &started)) {
        WaitForSingleObject(started.hProcess, INFINITE);
        DWORD exitCode = 0;
        if (GetExitCodeProcess(started.hProcess, &exitCode)) {
            result += "exit " + std::to_string(exitCode) + "\n";
        }
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    } else {
        result += "error cannot start Kestrun.exe: " + std::to_string(GetLastError()) + "\n";
    }
    result += "langid " + std::to_string(GetSystemDefaultLangID()) + "\n";
    result += std::string("wow64 ") + (underWow64() ? "1" : "0") + "\n";

    if (std::FILE* file = std::fopen("kestrun-result.txt", "wb")) {
        std::fputs(result.c_str(), file);
        std::fclose(file);
    }
    return 0;
}
