// Stand-in for one of the Windows programs that Kestrun starts (its name comes from WINTOOL_NAME).
// It appends to "wintools.log" in its own folder one line when it starts (its full command line
// and its current folder) and one when it ends (its exit code):
//   start<TAB>RDF.exe<TAB><command line><TAB><current folder>
//   end<TAB>RDF.exe<TAB><exit code>
// Files beside it steer it: "<stem>.exitcode" holds the decimal exit code (0 when absent;
// "-1" gives 4294967295), "<stem>.delay" the milliseconds to run before ending (at most 10000).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef WINTOOL_NAME
#error "WINTOOL_NAME must name the program, e.g. \"RDF.exe\""
#endif

namespace {

std::string ownFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return ".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string currentFolder() {
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    std::string folder(needed, '\0');
    DWORD length = GetCurrentDirectoryA(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return folder;
}

// The first line of a small text file, or an empty text when it cannot be read.
std::string readSetting(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, file) != nullptr) {
            text = buffer;
        }
        std::fclose(file);
    }
    return text;
}

void appendLog(const std::string& folder, const std::string& line) {
    if (std::FILE* file = std::fopen((folder + "\\wintools.log").c_str(), "ab")) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string name = WINTOOL_NAME;
    const std::string stem = name.substr(0, name.rfind('.'));
    const std::string folder = ownFolder();

    appendLog(folder, "start\t" + name + "\t" + GetCommandLineA() + "\t" + currentFolder() + "\n");

    const std::string exitText = readSetting(folder + "\\" + stem + ".exitcode");
    const auto exitCode = static_cast<UINT>(std::strtoll(exitText.c_str(), nullptr, 10));
    const std::string delayText = readSetting(folder + "\\" + stem + ".delay");
    const long delay = std::strtol(delayText.c_str(), nullptr, 10);
    if (delay > 0) {
        Sleep(static_cast<DWORD>(delay < 10000 ? delay : 10000));
    }

    appendLog(folder, "end\t" + name + "\t" + std::to_string(exitCode) + "\n");
    return static_cast<int>(exitCode);
}
