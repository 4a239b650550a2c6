// Kestrun's installation chain: the clean-up tool, the choice between the 64-bit and the 32-bit
// installer, the language transform, and the installer run whose exit code becomes the launcher's.
// The logic reaches Windows only through SetupOs, so it builds and is tested on any host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

// Programs and files the chain names; all of them are taken from the current directory.
inline constexpr const char* kCleanUpTool = "RDF.exe";
inline constexpr const char* kSummaryInfoTool = "Msiinfo.exe";
inline constexpr const char* kInstaller64 = "InstallHelper64.exe";
inline constexpr const char* kInstaller32 = "MSISetup.exe";

// The system default language that selects the French transform; any other gets the English one.
inline constexpr std::uint16_t kFrenchFrance = 1036;
inline constexpr const char* kFrenchTransform = "TRANSFORMS=1036.mst";
inline constexpr const char* kEnglishTransform = "TRANSFORMS=1033.mst";

// Exit code when no installer result exists: the installer could not be started, the main window
// could not be created (so nothing was started), or the installer's exit code could not be fetched.
inline constexpr std::uint32_t kNoInstallerResult = 0xFFFFFFFFu;

// The operating-system operations the launcher needs.
class SetupOs {
public:
    using Handle = void*;
    struct Process {
        Handle process = nullptr;
        Handle thread = nullptr;
    };

    virtual ~SetupOs() = default;

    // Loads the title and class name, registers the window class and creates the hidden main
    // window. False when the window could not be created.
    virtual bool createMainWindow() = 0;

    // The whole current directory, however long; empty when it cannot be read.
    virtual std::string currentDirectory() = 0;

    // Starts `program` from the current directory with `args` joined by single spaces, unquoted,
    // and returns once it has ended. Returns -1 without starting anything when the file is missing.
    virtual std::intptr_t spawnAndWait(const std::string& program,
                                       const std::vector<std::string>& args) = 0;

    // Whether "IsWow64Process" exists in "kernel32".
    virtual bool hasIsWow64Process() = 0;
    // Calls it for the current process; false when the call fails. Only call after a successful
    // lookup.
    virtual bool isWow64Process(bool& wow64) = 0;

    virtual std::uint16_t systemDefaultLangId() = 0;

    // Starts `application` from the current directory with the writable, zero-terminated
    // `commandLine`, inheriting the launcher's environment and current directory.
    virtual std::optional<Process> createProcess(const std::string& application,
                                                 std::vector<char>& commandLine) = 0;
    // Waits without time limit.
    virtual void waitForProcess(Handle process) = 0;
    // False when the exit code cannot be fetched.
    virtual bool exitCodeOfProcess(Handle process, std::uint32_t& exitCode) = 0;
    virtual void closeHandle(Handle handle) = 0;
};

// The transform text for a system default language.
const char* transformFor(std::uint16_t langId);

class SetupChain {
public:
    // `commandLineText` is the text after the program's name; it is kept, not copied.
    SetupChain(SetupOs& os, const char* commandLineText);

    // Runs the clean-up tool, then the 64-bit or the 32-bit chain. Returns the installer's exit
    // code, or kNoInstallerResult.
    std::uint32_t run();

    // The command line built for the installer, zero-terminated; empty until one is built.
    const std::vector<char>& installerCommandLine() const { return installerCommandLine_; }

private:
    bool runs64Bit();
    std::uint32_t startAndWait(const char* application);

    SetupOs& os_;
    const char* commandLineText_;
    std::vector<char> installerCommandLine_;
    std::uint32_t exitCode_ = 0;
};

// The program's work after its entry point: the hidden main window, then the chain.
std::uint32_t launch(SetupOs& os, SetupChain& chain);

} // namespace kestrun
