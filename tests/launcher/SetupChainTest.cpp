// SetupChain over a fake operating system that records every program start, wait and handle
// operation in order.
#include "SetupChain.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using kestrun::kNoInstallerResult;

enum class Wow64 { Missing, CallFails, No, Yes };

struct Machine {
    Wow64 wow64 = Wow64::Yes;
    std::uint16_t langId = 1033;
    std::string directory = "C:\\Setup";
    std::set<std::string> files = {"RDF.exe", "Msiinfo.exe", "InstallHelper64.exe", "MSISetup.exe"};
    std::map<std::string, std::uint32_t> exitCodes;
    bool windowCreated = true;
    bool exitCodeReadable = true;
};

class FakeOs final : public kestrun::SetupOs {
public:
    explicit FakeOs(Machine machine) : machine_(std::move(machine)) {}

    std::vector<std::string> events;

    bool createMainWindow() override { return machine_.windowCreated; }
    std::string currentDirectory() override { return machine_.directory; }

    std::intptr_t spawnAndWait(const std::string& program,
                               const std::vector<std::string>& args) override {
        if (machine_.files.count(program) == 0) {
            events.push_back("missing " + program);
            return -1;
        }
        std::string commandLine;
        for (const std::string& arg : args) {
            commandLine += (commandLine.empty() ? "" : " ") + arg;
        }
        events.push_back("ran " + commandLine);
        return static_cast<std::intptr_t>(exitCodeOf(program));
    }

    bool hasIsWow64Process() override { return machine_.wow64 != Wow64::Missing; }

    bool isWow64Process(bool& wow64) override {
        EXPECT_NE(machine_.wow64, Wow64::Missing) << "called a function that does not exist";
        if (machine_.wow64 == Wow64::CallFails) {
            wow64 = true; // a failing call may still have written the flag
            return false;
        }
        wow64 = machine_.wow64 == Wow64::Yes;
        return true;
    }

    std::uint16_t systemDefaultLangId() override { return machine_.langId; }

    std::optional<Process> createProcess(const std::string& application,
                                         std::vector<char>& commandLine) override {
        EXPECT_FALSE(commandLine.empty());
        EXPECT_EQ(commandLine.back(), '\0') << "command line is not zero-terminated";
        const std::string text(commandLine.data());
        if (machine_.files.count(application) == 0) {
            events.push_back("cannot start " + application);
            return std::nullopt;
        }
        events.push_back("started " + application + " with [" + text + "]");
        running_ = application;
        return Process{&processHandle_, &threadHandle_};
    }

    void waitForProcess(Handle process) override { events.push_back("wait " + name(process)); }

    bool exitCodeOfProcess(Handle process, std::uint32_t& exitCode) override {
        events.push_back("exit code of " + name(process));
        if (!machine_.exitCodeReadable) {
            return false;
        }
        exitCode = exitCodeOf(running_);
        return true;
    }

    void closeHandle(Handle handle) override { events.push_back("close " + name(handle)); }

private:
    std::uint32_t exitCodeOf(const std::string& program) const {
        auto found = machine_.exitCodes.find(program);
        return found == machine_.exitCodes.end() ? 0 : found->second;
    }

    std::string name(Handle handle) const {
        if (handle == &processHandle_) {
            return "process";
        }
        if (handle == &threadHandle_) {
            return "thread";
        }
        return "unknown handle";
    }

    Machine machine_;
    std::string running_;
    int processHandle_ = 0;
    int threadHandle_ = 0;
};

struct ChainCase {
    std::string name;
    Machine machine;
    const char* arguments;
    std::vector<std::string> events;
    std::uint32_t exitCode;
};

void PrintTo(const ChainCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<std::string> kInstallerEnds = {"wait process", "exit code of process",
                                                 "close process", "close thread"};

std::vector<std::string> concat(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Machine with(Machine machine, void (*change)(Machine&)) {
    change(machine);
    return machine;
}

const std::string kRdf = "ran RDF.exe /u C:\\Setup";
const std::string kMsiinfo = "ran Msiinfo.exe Setup.msi -P x64;1033";
const std::string kLongDirectory = "C:\\" + std::string(120, 'a') + "\\" + std::string(180, 'b');

const std::vector<ChainCase> kChainCases = {
    {"Wow64FrenchFranceNoArguments", with({}, [](Machine& m) { m.langId = 1036; }), "",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe TRANSFORMS=1036.mst]"},
            kInstallerEnds),
     0},
    {"Wow64FrenchFranceTransformFollowsLastCharacter",
     with({}, [](Machine& m) { m.langId = 1036; }), "/qn REBOOT=ReallySuppress",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe /qn "
             "REBOOT=ReallySuppressTRANSFORMS=1036.mst]"},
            kInstallerEnds),
     0},
    {"Wow64ArgumentsEndingInBlank", with({}, [](Machine& m) { m.langId = 1036; }), "/qn ",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe /qn TRANSFORMS=1036.mst]"},
            kInstallerEnds),
     0},
    {"Wow64FrenchCanadaGetsEnglishTransform", with({}, [](Machine& m) { m.langId = 3084; }),
     "/passive",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe /passiveTRANSFORMS=1033.mst]"},
            kInstallerEnds),
     0},
    {"Wow64InstallerExitCodeIsReturned",
     with({}, [](Machine& m) { m.exitCodes["InstallHelper64.exe"] = 1603; }), "",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe TRANSFORMS=1033.mst]"},
            kInstallerEnds),
     1603},
    {"NotWow64RunsMsiSetupWithoutTransform",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.langId = 1036;
          }),
     "/qn ALLUSERS=1",
     concat({kRdf, "started MSISetup.exe with [MSISetup.exe /qn ALLUSERS=1]"}, kInstallerEnds), 0},
    {"NotWow64NoArgumentsKeepsTrailingBlank", with({}, [](Machine& m) { m.wow64 = Wow64::No; }), "",
     concat({kRdf, "started MSISetup.exe with [MSISetup.exe ]"}, kInstallerEnds), 0},
    {"IsWow64ProcessMissingTakes32BitChain", with({}, [](Machine& m) { m.wow64 = Wow64::Missing; }),
     "/qn", concat({kRdf, "started MSISetup.exe with [MSISetup.exe /qn]"}, kInstallerEnds), 0},
    {"IsWow64ProcessFailingTakes32BitChain",
     with({}, [](Machine& m) { m.wow64 = Wow64::CallFails; }), "/qn",
     concat({kRdf, "started MSISetup.exe with [MSISetup.exe /qn]"}, kInstallerEnds), 0},
    {"NotWow64InstallerExitCodeIsReturned",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.exitCodes["MSISetup.exe"] = 3010;
          }),
     "", concat({kRdf, "started MSISetup.exe with [MSISetup.exe ]"}, kInstallerEnds), 3010},
    {"Wow64InstallerMissing",
     with({}, [](Machine& m) { m.files.erase("InstallHelper64.exe"); }),
     "/qn",
     {kRdf, kMsiinfo, "cannot start InstallHelper64.exe"},
     kNoInstallerResult},
    {"NotWow64InstallerMissing",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.files.erase("MSISetup.exe");
          }),
     "/qn",
     {kRdf, "cannot start MSISetup.exe"},
     kNoInstallerResult},
    {"ToolsMissingOrFailingAreIgnored",
     with({},
          [](Machine& m) {
              m.files.erase("RDF.exe");
              m.exitCodes["Msiinfo.exe"] = 5;
              m.exitCodes["InstallHelper64.exe"] = 7;
          }),
     "",
     concat({"missing RDF.exe", kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe TRANSFORMS=1033.mst]"},
            kInstallerEnds),
     7},
    {"DirectoryWithBlanksReachesCleanUpToolUnquoted",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.directory = "C:\\Program Files\\Velmora Setup";
          }),
     "",
     concat({"ran RDF.exe /u C:\\Program Files\\Velmora Setup",
             "started MSISetup.exe with [MSISetup.exe ]"},
            kInstallerEnds),
     0},
    {"DirectoryLongerThanMaxPathIsPassedWhole",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.directory = kLongDirectory;
          }),
     "",
     concat({"ran RDF.exe /u " + kLongDirectory, "started MSISetup.exe with [MSISetup.exe ]"},
            kInstallerEnds),
     0},
    {"X64SwitchIsPassedOnLikeAnyText32Bit", with({}, [](Machine& m) { m.wow64 = Wow64::No; }),
     "/x64", concat({kRdf, "started MSISetup.exe with [MSISetup.exe /x64]"}, kInstallerEnds), 0},
    {"X64SwitchStillStartsTheInstaller64Bit",
     with({}, [](Machine& m) { m.exitCodes["InstallHelper64.exe"] = 1602; }), "/x64",
     concat({kRdf, kMsiinfo,
             "started InstallHelper64.exe with [InstallHelper64.exe /x64TRANSFORMS=1033.mst]"},
            kInstallerEnds),
     1602},
    {"UnreadableExitCodeIsNotSuccess",
     with({},
          [](Machine& m) {
              m.wow64 = Wow64::No;
              m.exitCodeReadable = false;
          }),
     "", concat({kRdf, "started MSISetup.exe with [MSISetup.exe ]"}, kInstallerEnds),
     kNoInstallerResult},
    {"NoMainWindowStartsNothing",
     with({}, [](Machine& m) { m.windowCreated = false; }),
     "/qn",
     {},
     kNoInstallerResult},
};

class SetupChainTest : public testing::TestWithParam<ChainCase> {};

TEST_P(SetupChainTest, RunsTheChain) {
    const ChainCase& c = GetParam();
    FakeOs os(c.machine);
    kestrun::SetupChain chain(os, c.arguments);
    EXPECT_EQ(kestrun::launch(os, chain), c.exitCode);
    EXPECT_EQ(os.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetupChainTest, testing::ValuesIn(kChainCases),
                         [](const testing::TestParamInfo<ChainCase>& p) { return p.param.name; });

TEST(SetupChainTest, OnlyFrenchFranceSelectsTheFrenchTransform) {
    EXPECT_STREQ(kestrun::transformFor(1036), "TRANSFORMS=1036.mst");
    // Belgium, Canada, Switzerland, Luxembourg, Monaco, English, neutral.
    for (std::uint16_t other : {2060, 3084, 4108, 5132, 6156, 1033, 0}) {
        EXPECT_STREQ(kestrun::transformFor(other), "TRANSFORMS=1033.mst") << other;
    }
}

} // namespace
