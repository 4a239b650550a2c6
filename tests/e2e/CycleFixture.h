#pragma once
// A whole update cycle from the outside: a sandbox root (scripts/sandbox) with the stand-in
// agent and its local update server, the real tallowick with a scripted user, and the
// stand-in dashboard sending over the real socket.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControllerFixture.h"
#include "ProgramRunner.h"

namespace tallowick::test {

class CycleFixture : public ::testing::Test {
protected:
    CycleFixture();

    // Adds "Name=value" lines to the agent's settings, in their section.
    void setAgent(const std::string& section, const std::string& line);
    // Starts tallowick with the scripted user's steps.
    void start(const std::vector<std::string>& pilotSteps);
    // The dashboard peer with its arguments; gives its exit code.
    int dashboard(const std::vector<std::string>& args);
    // A manual (mode 1) or automatic (mode 0) request for a plugged QV230 modem.
    int request(int mode, const std::string& device = "QV230");

    bool trace(const std::string& pattern, double seconds = 20) {
        return program.waitForTrace(pattern, seconds);
    }
    std::size_t traceCount(const std::string& pattern) const;
    // Waits until at least `count` trace lines match.
    bool traceTimes(const std::string& pattern, std::size_t count, double seconds = 20);
    std::string file(const std::string& systemPath) const;
    bool exists(const std::string& systemPath) const;
    std::vector<std::string> agentJournal() const {
        return lines(file("/var/log/tallowick-agent.log"));
    }
    static std::vector<std::string> lines(const std::string& text);

    TempRoot root;
    ProgramRunner program{root.path()};
    std::string pilotPath;
};

} // namespace tallowick::test
