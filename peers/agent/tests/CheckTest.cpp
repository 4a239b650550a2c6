// The agent's version check: its reports, the description it leaves, and its fault switches.

#include <gtest/gtest.h>

#include <atomic>

#include "AgentHarness.h"

using namespace agenttest;

namespace {

const std::vector<std::string> kNormalCheck = {"state 1", "state 2", "HaveNewVsersion"};

std::string flagOf(const std::string& xml) {
    const std::size_t at = xml.find("<Flag>");
    if (at == std::string::npos)
        return "";
    return xml.substr(at + 6, xml.find("</Flag>") - at - 6);
}

class CheckTest : public AgentFixture {};

} // namespace

TEST_F(CheckTest, ReportsBothStatesThenLeavesTheServerDescriptionBeforeTheResult) {
    putStandardServer("QV230");
    putStandardServer("QV240");
    putDescription("QV240", description("QV240", {kDashboard}));
    std::optional<std::string> atResult;
    recorder.hook = [&](const std::string& line) {
        if (line == "HaveNewVsersion")
            atResult = read(downloaded("Description.xml"));
    };

    check("QV240", UPDATE_MODE_AUTO);

    EXPECT_EQ(recorder.lines(), kNormalCheck);
    ASSERT_TRUE(atResult.has_value()) << "Description.xml was not there when the result came";
    EXPECT_EQ(*atResult, description("QV240", {kDashboard}));
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"Init", "Update 0 QV240", "SetNowDownloadStatus 1",
                                        "SetNowDownloadStatus 2", "check: 1 package(s) offered",
                                        "HaveNewVsersion", "check: end"}));
}

TEST_F(CheckTest, EachWayACheckCanFailGivesTheMatchingFailureDescription) {
    putStandardServer("QV230");
    write("/srv/QV230/Description.xml", description("QV230", {kFirmware}));
    putDescription("QV250", "<UpdateInfo><PackageDescription><Version>1</Version>");
    write("/srv/update/QV260/CMUpdatePackage.zip", "no description beside it");
    putDescription("QV270",
                   "<UpdateInfo><Flag>3</Flag><ErrMsg>No newer version</ErrMsg></UpdateInfo>");
    struct Case {
        const char* name;
        std::string faults;
        std::string location;
        std::string device;
        std::string flag;
        std::string errMsgPart;
    };
    const Case cases[] = {
        {"no folder for the device type", "", kServer, "QV999", "2", "QV999"},
        {"a folder without a description", "", kServer, "QV260", "2", "QV260"},
        {"a device type that climbs out of the server", "", kServer, "../QV230", "2", ""},
        {"an empty device type", "", kServer, "", "2", ""},
        {"no server location", "", "", "QV230", "0", "Location"},
        {"a location of an unknown kind", "", "ftp://127.0.0.1/update", "QV230", "0", "ftp://"},
        {"a description that is not well-formed", "", kServer, "QV250", "0", "well-formed"},
        {"the server's own failure answer", "", kServer, "QV270", "3", "No newer version"},
        {"CheckFlag=0", "CheckFlag=0", kServer, "QV230", "0", "Simulated"},
        {"CheckFlag=1", "CheckFlag=1\nCheckErrMsg=Illegal & <id>", kServer, "QV230", "1",
         "Illegal &amp; &lt;id&gt;"},
        {"CheckFlag=2", "CheckFlag=2", kServer, "QV230", "2", "Simulated"},
        {"CheckFlag=3", "CheckFlag=3", kServer, "QV230", "3", "Simulated"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reconfigure(c.faults, c.location);
        recorder.clear();
        check(c.device);
        EXPECT_EQ(recorder.lines(), kNormalCheck);
        const std::string xml = read(downloaded("Description.xml")).value_or("");
        EXPECT_EQ(flagOf(xml), c.flag) << xml;
        EXPECT_NE(xml.find(c.errMsgPart), std::string::npos) << xml;
        EXPECT_EQ(xml.find("<PackageDescription>"), std::string::npos) << xml;
    }
}

TEST_F(CheckTest, FaultSwitchesChangeWhatTheCheckReports) {
    putStandardServer("QV230");
    const std::string old = "<UpdateInfo><Flag>9</Flag></UpdateInfo>";
    enum class Left { Fresh, Old, None };
    struct Case {
        const char* faults;
        std::vector<std::string> lines;
        Left description;
    };
    const Case cases[] = {
        {"NeverReport=true", {}, Left::Old},
        {"NewVersionBeforeStates=yes", {"HaveNewVsersion", "state 1", "state 2"}, Left::Fresh},
        {"FinalState=7", {"state 1", "state 2", "state 7"}, Left::Old},
        {"FinalState=0", {"state 1", "state 2", "state 0"}, Left::Old},
        {"MissingDescription=true", kNormalCheck, Left::None},
        {"CheckDelayMs=20", kNormalCheck, Left::Fresh},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        reconfigure(c.faults);
        write(downloaded("Description.xml"), old);
        recorder.clear();
        check("QV230");
        EXPECT_EQ(recorder.lines(), c.lines);
        const auto left = read(downloaded("Description.xml"));
        switch (c.description) {
        case Left::Fresh:
            EXPECT_EQ(left, description("QV230", {kFirmware, kDashboard}));
            break;
        case Left::Old:
            EXPECT_EQ(left, old);
            break;
        case Left::None:
            EXPECT_FALSE(left.has_value());
            break;
        }
    }
}

TEST_F(CheckTest, UpdateReturnsAtOnceAndUnInitEndsASlowCheckWithoutFurtherReports) {
    putStandardServer("QV230");
    reconfigure("CheckDelayMs=600000");
    mustReturnWithin(
        5, [&] { update("QV230"); }, "Update");
    ASSERT_TRUE(recorder.waitForLine("state 1"));
    mustReturnWithin(
        5, [] { UnInit(); }, "UnInit during a slow check");
    recorder.close();
    EXPECT_EQ(recorder.lines(), std::vector<std::string>{"state 1"});
    EXPECT_FALSE(exists(downloaded("Description.xml")));
}

TEST_F(CheckTest, ANewRequestWhileACheckRunsAbandonsTheOldOne) {
    putStandardServer("QV230");
    putStandardServer("QV240");
    putDescription("QV240", description("QV240", {kFirmware}));
    reconfigure("CheckDelayMs=100");
    update("QV230");
    ASSERT_TRUE(recorder.waitForLine("state 1"));
    update("QV240");
    ASSERT_TRUE(recorder.waitForLine("HaveNewVsersion"));
    ASSERT_TRUE(waitForJournal("check: end", 2));
    mustReturnWithin(
        5, [] { UnInit(); }, "UnInit");
    EXPECT_EQ(recorder.count("HaveNewVsersion"), 1u);
    EXPECT_EQ(read(downloaded("Description.xml")), description("QV240", {kFirmware}));
}

TEST_F(CheckTest, CallsBackIntoTheAgentFromACallbackDoNotDeadlock) {
    putStandardServer("QV230");
    std::atomic<int> nested{0};
    recorder.hook = [&](const std::string& line) {
        // The program may call in from any thread at any time, its callbacks included.
        if (line == "state 2" && nested++ == 0) {
            agent->Init();
            agent->RefuseDownload();
            agent->StopDownload();
            update("QV230");
        }
    };
    update("QV230");
    ASSERT_TRUE(recorder.waitForLine("HaveNewVsersion"));
    ASSERT_TRUE(waitForJournal("check: end", 2));
    // The first check was abandoned by the second request, made from its own callback.
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{"state 1", "state 2", "state 1",
                                                          "state 2", "HaveNewVsersion"}));
    EXPECT_EQ(journalCount("RefuseDownload"), 1u);
}
