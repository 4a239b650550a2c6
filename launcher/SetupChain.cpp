#include "SetupChain.h"

namespace kestrun {

const char* transformFor(std::uint16_t langId) {
    return langId == kFrenchFrance ? kFrenchTransform : kEnglishTransform;
}

SetupChain::SetupChain(SetupOs& os, const char* commandLineText)
    : os_(os), commandLineText_(commandLineText != nullptr ? commandLineText : "") {}

std::uint32_t SetupChain::run() {
    // The clean-up tool gets the directory unquoted, so a path with blanks reaches it as several
    // words. Whether it ran and how it ended do not matter.
    os_.spawnAndWait(kCleanUpTool, {kCleanUpTool, "/u", os_.currentDirectory()});

    std::string commandLine;
    const char* installer = nullptr;
    if (runs64Bit()) {
        const char* transform = transformFor(os_.systemDefaultLangId());
        os_.spawnAndWait(kSummaryInfoTool, {kSummaryInfoTool, "Setup.msi", "-P", "x64;1033"});
        // The transform follows the launcher's text directly, with no blank in between.
        commandLine.append(kInstaller64).append(" ").append(commandLineText_).append(transform);
        installer = kInstaller64;
    } else {
        commandLine.append(kInstaller32).append(" ").append(commandLineText_);
        installer = kInstaller32;
    }
    installerCommandLine_.assign(commandLine.begin(), commandLine.end());
    installerCommandLine_.push_back('\0');
    return startAndWait(installer);
}

bool SetupChain::runs64Bit() {
    if (!os_.hasIsWow64Process()) {
        return false;
    }
    bool wow64 = false;
    return os_.isWow64Process(wow64) && wow64;
}

std::uint32_t SetupChain::startAndWait(const char* application) {
    std::optional<SetupOs::Process> started = os_.createProcess(application, installerCommandLine_);
    if (!started) {
        return kNoInstallerResult;
    }
    os_.waitForProcess(started->process);
    if (!os_.exitCodeOfProcess(started->process, exitCode_)) {
        // An installer whose end is unknown must not pass for a successful one.
        exitCode_ = kNoInstallerResult;
    }
    os_.closeHandle(started->process);
    os_.closeHandle(started->thread);
    return exitCode_;
}

std::uint32_t launch(SetupOs& os, SetupChain& chain) {
    if (!os.createMainWindow()) {
        // Nothing has been started, so there is no installer result to report.
        return kNoInstallerResult;
    }
    return chain.run();
}

} // namespace kestrun
