// The real program, started as a user would, driven through tallowick-send.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ControllerFixture.h"
#include "ProgramRunner.h"

using namespace tallowick::test;

namespace {

std::ptrdiff_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : it - lines.begin();
}

} // namespace

TEST(Program, InitMessageIsLoggedBeforeTheHandlersOwnLine) {
    TempRoot root;
    ProgramRunner program(root.path());
    ASSERT_TRUE(program.start());
    EXPECT_EQ(program.send({"CMD_ID:int=1"}), 0);
    ASSERT_TRUE(program.waitForLog("^Init Command$"));
    const auto log = program.logLines();
    EXPECT_GE(indexOf(log, "quorlan:Deal the Init message"), 0);
    EXPECT_LT(indexOf(log, "quorlan:Deal the Init message"), indexOf(log, "Init Command"));
    EXPECT_EQ(program.stop(), 0);
}

TEST(Program, ManualUpdateRequestShowsTheWaitWindowWithItsButtonDisabled) {
    TempRoot root;
    ProgramRunner program(root.path());
    ASSERT_TRUE(program.start());
    EXPECT_EQ(program.send({"CMD_ID:int=2", "UPDATE_MODE:int=1", "OS=Linux", "DEVICE_TYPE=QV230",
                            "UI_VERSION=1.0", "FW_VERSION=2.0", "UNSIGNED_ID=7", "CLIENT_GROUP=g",
                            "LANGUAGE=en", "EXTERN_PARA=x"}),
              0);
    ASSERT_TRUE(program.waitForTrace("^m_WaitWnd front$"));
    const auto trace = program.traceLines();
    const auto front = indexOf(trace, "m_WaitWnd front");
    auto disabled = std::find_if(trace.begin(), trace.end(), [](const std::string& l) {
        return l.rfind("m_WaitOKBtn ", 0) == 0 && l.find("enabled=0") != std::string::npos;
    });
    ASSERT_NE(disabled, trace.end());
    EXPECT_LT(disabled - trace.begin(), front);
    EXPECT_TRUE(program.waitForLog("^Update Command$"));
    EXPECT_EQ(program.stop(), 0);
}

TEST(Program, RefusesARootThatWouldBreakShellCommands) {
    TempRoot root;
    const std::string unsafe = root.path() + "/with blank";
    std::filesystem::create_directories(unsafe);
    std::string output;
    EXPECT_EQ(runProgram({binDir() + "/tallowick"}, {{"TALLOWICK_ROOT", unsafe}}, 10, &output), 2);
    EXPECT_NE(output.find("refusing to start"), std::string::npos) << output;
}

TEST(Program, DoesNotStartWithoutTheAgentLibrary) {
    TempRoot root;
    // A copy of the program with no library folder beside it.
    std::filesystem::create_directories(root.path() + "/bin");
    const std::string copy = root.path() + "/bin/tallowick";
    std::filesystem::copy_file(binDir() + "/tallowick", copy);
    std::string output;
    const int code =
        runProgram({copy}, {{"TALLOWICK_ROOT", root.path()}, {"LD_LIBRARY_PATH", ""}}, 10, &output);
    EXPECT_EQ(code, 127);
    EXPECT_NE(output.find("libAgent.so"), std::string::npos) << output;
}

TEST(Program, SendToolFailsWhenNothingListens) {
    TempRoot root;
    std::string output;
    EXPECT_EQ(runProgram({binDir() + "/tallowick-send", "CMD_ID:int=1"},
                         {{"TALLOWICK_ROOT", root.path()}}, 10, &output),
              1);
    EXPECT_NE(output.find("cannot connect"), std::string::npos) << output;
    EXPECT_EQ(runProgram({binDir() + "/tallowick-send", "CMD_ID:int=x"},
                         {{"TALLOWICK_ROOT", root.path()}}),
              2);
}

TEST(Program, AScriptedUserStepThatFailsEndsTheProgramLoudly) {
    struct Case {
        const char* script;
        const char* reason;
    };
    const Case cases[] = {
        {"wait ^m_NeverShown front$ 0.3\n", "gave up waiting for \"^m_NeverShown front$\""},
        {"click m_NoSuchBtn\n", "there is no button m_NoSuchBtn"},
        {"# a comment\n\ndance\n", "line 3: unknown step \"dance\""},
    };
    for (const auto& c : cases) {
        TempRoot root;
        const std::string script = root.path() + "/pilot.txt";
        std::ofstream(script) << c.script;
        ProgramRunner program(root.path());
        program.start({{"TALLOWICK_PILOT", script}});
        EXPECT_EQ(program.waitForExit(10), 3) << c.script;
        const auto log = program.logLines();
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.find(c.reason) != std::string::npos;
        })) << c.script;
    }
}
