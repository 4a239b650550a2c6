// The agent's download: chunks and progress, partial files, the single end report, stopping,
// resuming, and its fault switches.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <sys/xattr.h>

#include "AgentHarness.h"

using namespace agenttest;

namespace {

const std::string kFirmwareText = std::string("Downloading ") + kFirmware;
const std::string kDashboardText = std::string("Downloading ") + kDashboard;

class DownloadTest : public AgentFixture {
protected:
    void SetUp() override {
        putStandardServer("QV230");
        check("QV230");
        writeSelection({kFirmware, kDashboard});
    }

    void expectNothingDownloaded() {
        for (const char* name : {kFirmware, kDashboard}) {
            EXPECT_FALSE(exists(downloaded(name))) << name;
            EXPECT_FALSE(exists(partial(name))) << name;
        }
    }

    void expectBothDownloaded() {
        EXPECT_EQ(read(downloaded(kFirmware)), packageBytes('F', 4500));
        EXPECT_EQ(read(downloaded(kDashboard)), packageBytes('C', 2000));
        EXPECT_FALSE(exists(partial(kFirmware)));
        EXPECT_FALSE(exists(partial(kDashboard)));
    }

    std::vector<std::string> linesSince(std::size_t from) {
        const auto all = recorder.lines();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
    }

    bool xattrsWork() {
        const std::string probe = root.path() + "/xattr-probe";
        write("/xattr-probe", "x");
        return ::setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    }
};

} // namespace

TEST_F(DownloadTest, TwoPackagesArriveInChunksAsPartialFilesThenUnderTheirNames) {
    std::mutex mutex;
    std::vector<std::string> misplaced;
    recorder.hook = [&](const std::string& line) {
        for (const char* name : {kFirmware, kDashboard}) {
            if (line.find(std::string("Downloading ") + name) == std::string::npos)
                continue;
            if (!exists(partial(name)) || exists(downloaded(name))) {
                std::lock_guard lock(mutex);
                misplaced.push_back(line);
            }
        }
    };
    recorder.clear();
    download();

    // 4500 and 2000 bytes in chunks of 1000: one report as each file starts, one per chunk.
    EXPECT_EQ(
        recorder.lines(),
        (std::vector<std::string>{"progress 0 " + kFirmwareText, "progress 15 " + kFirmwareText,
                                  "progress 30 " + kFirmwareText, "progress 46 " + kFirmwareText,
                                  "progress 61 " + kFirmwareText, "progress 69 " + kFirmwareText,
                                  "progress 69 " + kDashboardText, "progress 84 " + kDashboardText,
                                  "progress 100 " + kDashboardText, "finished 1"}));
    std::lock_guard lock(mutex);
    EXPECT_TRUE(misplaced.empty())
        << "reported while the file was not a partial download: " << misplaced.front();
    expectBothDownloaded();
}

TEST_F(DownloadTest, EachWayADownloadCanFailEndsWithOneFailureReport) {
    struct Case {
        const char* name;
        std::string faults;
        std::function<void()> setup;
        std::size_t partialFirmwareBytes; // 0: no partial file left
    };
    const std::string doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE UpdateConfig [<!ENTITY n \"" +
                                std::string(kFirmware) +
                                "\">]>\n<UpdateConfig><UpdateFiles><UpdateFile Filename=\"&n;\">"
                                "x</UpdateFile></UpdateFiles><Ftp/></UpdateConfig>\n";
    const Case cases[] = {
        {"fails on reaching 50%", "FailDownloadAtPercent=50", [] {}, 4000},
        {"a package missing on the server", "",
         [&] { fs.removeItem(onServer("QV230", kDashboard)); }, 0},
        {"no UserSelection.xml", "", [&] { fs.removeItem(downloaded("UserSelection.xml")); }, 0},
        {"a package the check did not offer", "",
         [&] {
             putPackage("QV230", "Other.zip", "other");
             writeSelection({"Other.zip"});
         },
         0},
        {"a name that climbs out of the folder", "",
         [&] { writeSelection({"../../../../etc/passwd"}); }, 0},
        {"a document type declaration", "",
         [&] { write(downloaded("UserSelection.xml"), doctype); }, 0},
        {"a selection that is not well-formed", "",
         [&] { write(downloaded("UserSelection.xml"), "<UpdateConfig><UpdateFiles>"); }, 0},
        {"the latest check failed", "",
         [&] {
             reconfigure("CheckFlag=2");
             check("QV230");
             reconfigure("");
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        putStandardServer("QV230");
        reconfigure("");
        check("QV230");
        writeSelection({kFirmware, kDashboard});
        c.setup();
        reconfigure(c.faults);
        recorder.clear();
        download();

        const auto lines = recorder.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "finished 0");
        EXPECT_EQ(recorder.count("finished 0") + recorder.count("finished 1"), 1u);
        EXPECT_FALSE(exists(downloaded(kFirmware)));
        EXPECT_FALSE(exists(downloaded(kDashboard)));
        EXPECT_FALSE(exists(partial(kDashboard)));
        EXPECT_FALSE(exists("/etc/passwd"));
        if (c.partialFirmwareBytes)
            EXPECT_EQ(fs.fileSize(partial(kFirmware)), c.partialFirmwareBytes);
        else
            EXPECT_FALSE(exists(partial(kFirmware)));
        fs.removeItem(partial(kFirmware));
    }
}

TEST_F(DownloadTest, FaultSwitchesChangeWhatTheDownloadReports) {
    struct Case {
        const char* faults;
        std::vector<std::string> selection;
        std::function<void(const std::vector<std::string>&)> expect;
    };
    const auto countOf = [](const std::vector<std::string>& lines, const std::string& line) {
        return std::count(lines.begin(), lines.end(), line);
    };
    const Case cases[] = {
        {"",
         {},
         [](const auto& lines) { EXPECT_EQ(lines, std::vector<std::string>{"finished 1"}); }},
        {"CallbackStorm=3",
         {kFirmware},
         [&](const auto& lines) {
             // The start report, then each of the five chunks four times.
             EXPECT_EQ(lines.size(), 1u + 5 * 4 + 1);
             EXPECT_EQ(countOf(lines, "progress 100 " + kFirmwareText), 4);
             EXPECT_EQ(lines.back(), "finished 1");
         }},
        {"RepeatDownloadFinished=2",
         {kDashboard},
         [&](const auto& lines) {
             EXPECT_EQ(countOf(lines, "finished 1"), 3);
             EXPECT_EQ(lines.size(), 3u + 3);
         }},
        {"ReportDownloadStates=true",
         {kDashboard},
         [](const auto& lines) {
             EXPECT_EQ(lines, (std::vector<std::string>{"state 3", "progress 0 " + kDashboardText,
                                                        "progress 50 " + kDashboardText,
                                                        "progress 100 " + kDashboardText, "state 4",
                                                        "finished 1"}));
         }},
        {"ReportDownloadStates=true\nFailDownloadAtPercent=0",
         {kDashboard},
         [](const auto& lines) {
             EXPECT_EQ(lines, (std::vector<std::string>{"state 3", "progress 0 " + kDashboardText,
                                                        "state 5", "finished 0"}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        reconfigure(c.faults);
        writeSelection(c.selection);
        recorder.clear();
        download();
        c.expect(recorder.lines());
        fs.removeItem(downloaded(kFirmware));
        fs.removeItem(downloaded(kDashboard));
        fs.removeItem(partial(kDashboard));
    }
}

TEST_F(DownloadTest, StopDownloadRemovesThePartialFileAndTheStoppedDownloadNeverReportsItsEnd) {
    reconfigure("SlowChunkMs=600000");
    recorder.clear();
    agent->Download();
    ASSERT_TRUE(recorder.waitForLine("progress 15 " + kFirmwareText));
    EXPECT_TRUE(exists(partial(kFirmware)));
    mustReturnWithin(
        5, [&] { agent->StopDownload(); }, "StopDownload during a slow chunk");
    expectNothingDownloaded();
    EXPECT_EQ(journalCount(std::string("download: stopped, removed ") + kFirmware + ".tmp"), 1u);
    const std::size_t stoppedAt = recorder.lines().size();

    // The next download starts afresh, and only it ends with a report.
    reconfigure("");
    download();
    const auto after = linesSince(stoppedAt);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), "progress 0 " + kFirmwareText);
    EXPECT_EQ(after.back(), "finished 1");
    EXPECT_EQ(recorder.count("finished 1") + recorder.count("finished 0"), 1u);
    expectBothDownloaded();
}

TEST_F(DownloadTest, AStopRightAfterTheRequestAlsoClearsWhatAnEarlierAttemptLeft) {
    reconfigure("FailDownloadAtPercent=50");
    download();
    ASSERT_EQ(fs.fileSize(partial(kFirmware)), 4000u);
    reconfigure("SlowChunkMs=600000");
    const std::size_t start = recorder.lines().size();
    agent->Download();
    mustReturnWithin(
        5, [&] { agent->StopDownload(); }, "StopDownload");
    expectNothingDownloaded();
    for (const auto& line : linesSince(start))
        EXPECT_EQ(line.rfind("progress", 0), 0u) << line;
}

TEST_F(DownloadTest, StopDownloadFromInsideAProgressReportEndsTheDownload) {
    std::atomic<bool> stopped{false};
    recorder.hook = [&](const std::string& line) {
        if (line == "progress 30 " + kFirmwareText && !stopped.exchange(true))
            agent->StopDownload();
    };
    recorder.clear();
    download();
    EXPECT_EQ(recorder.lines().back(), "progress 30 " + kFirmwareText);
    expectNothingDownloaded();
}

TEST_F(DownloadTest, RepeatedStopsAtEveryPointLeaveNoPartialFileAndNoStrayReport) {
    // Stops land before, between and after chunks; a check runs after each stop and must be
    // the only thing that reports.
    reconfigure("SlowChunkMs=1");
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const std::size_t start = recorder.lines().size();
        const std::size_t reportsBeforeStop = static_cast<std::size_t>(round % 11);
        agent->Download();
        ASSERT_TRUE(recorder.waitFor([&](const std::vector<std::string>& lines) {
            return lines.size() >= start + reportsBeforeStop;
        }));
        mustReturnWithin(
            5, [&] { agent->StopDownload(); }, "StopDownload");
        const auto during = linesSince(start);
        EXPECT_FALSE(exists(partial(kFirmware)));
        EXPECT_FALSE(exists(partial(kDashboard)));
        if (!during.empty() && during.back() == "finished 1")
            expectBothDownloaded();
        fs.removeItem(downloaded(kFirmware));
        fs.removeItem(downloaded(kDashboard));
        const std::size_t stoppedAt = recorder.lines().size();
        check("QV230");
        EXPECT_EQ(linesSince(stoppedAt),
                  (std::vector<std::string>{"state 1", "state 2", "HaveNewVsersion"}));
    }
}

TEST_F(DownloadTest, ResumesAPartialFileOnlyWhenTheServerFileIsTheSame) {
    if (!xattrsWork())
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    struct Case {
        const char* name;
        bool changeServerFile;
        std::string firstReport;
        std::string result;
    };
    const Case cases[] = {
        {"same server file", false, "progress 66 " + kFirmwareText, packageBytes('F', 4500)},
        {"changed server file", true, "progress 0 " + kFirmwareText, packageBytes('G', 4700)},
    };
    writeSelection({kFirmware});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        putPackage("QV230", kFirmware, packageBytes('F', 4500));
        fs.removeItem(downloaded(kFirmware));
        reconfigure("FailDownloadAtPercent=50");
        download();
        ASSERT_EQ(fs.fileSize(partial(kFirmware)), 3000u);
        if (c.changeServerFile)
            putPackage("QV230", kFirmware, packageBytes('G', 4700));

        reconfigure("");
        const std::size_t start = recorder.lines().size();
        download();
        const auto lines = linesSince(start);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), c.firstReport);
        EXPECT_EQ(lines.back(), "finished 1");
        EXPECT_EQ(read(downloaded(kFirmware)), c.result);
        EXPECT_FALSE(exists(partial(kFirmware)));
    }
    EXPECT_EQ(journalCount(std::string("download: resuming ") + kFirmware + " at 3000 bytes"), 1u);
}

TEST_F(DownloadTest, UnInitDuringASlowDownloadKeepsThePartialFileAndMakesNoFurtherReport) {
    reconfigure("SlowChunkMs=600000");
    agent->Download();
    ASSERT_TRUE(recorder.waitForLine("progress 15 " + kFirmwareText));
    mustReturnWithin(
        5, [] { UnInit(); }, "UnInit during a slow download");
    recorder.close();
    EXPECT_EQ(recorder.count("finished 0") + recorder.count("finished 1"), 0u);
    // Kept for a later download to resume, as after a failure.
    EXPECT_EQ(fs.fileSize(partial(kFirmware)), 1000u);
}
