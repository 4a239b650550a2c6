// The server behind the three kinds of location: a folder under the root, a file:// address
// and an http:// address (a small server on 127.0.0.1 started by the test).

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "AgentHarness.h"
#include "HttpServer.h"

using namespace agenttest;

namespace {

const std::string kFirmwareText = std::string("Downloading ") + kFirmware;

class LocationTest : public AgentFixture {
protected:
    LocationTest() { putStandardServer("QV230"); }

    std::string serverFolder() const { return fs.resolve(kServer); }

    // A port on 127.0.0.1 where nothing listens.
    static int closedPort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        ::close(fd);
        return ntohs(addr.sin_port);
    }

    std::string flag() const {
        const std::string xml = read(downloaded("Description.xml")).value_or("");
        const std::size_t at = xml.find("<Flag>");
        return at == std::string::npos ? "" : xml.substr(at + 6, 1);
    }
};

} // namespace

TEST_F(LocationTest, CheckAndDownloadWorkTheSameFromEachKindOfLocation) {
    HttpServer http(serverFolder());
    const std::string locations[] = {kServer, "file://" + serverFolder(), http.url()};
    for (const std::string& location : locations) {
        SCOPED_TRACE(location);
        reconfigure("", location);
        recorder.clear();
        check("QV230");
        EXPECT_EQ(recorder.lines(),
                  (std::vector<std::string>{"state 1", "state 2", "HaveNewVsersion"}));
        EXPECT_EQ(read(downloaded("Description.xml")),
                  description("QV230", {kFirmware, kDashboard}));

        writeSelection({kFirmware, kDashboard});
        recorder.clear();
        download();
        const auto lines = recorder.lines();
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines.front(), "progress 0 " + kFirmwareText);
        EXPECT_EQ(lines[8], std::string("progress 100 Downloading ") + kDashboard);
        EXPECT_EQ(lines.back(), "finished 1");
        EXPECT_EQ(read(downloaded(kFirmware)), packageBytes('F', 4500));
        EXPECT_EQ(read(downloaded(kDashboard)), packageBytes('C', 2000));
        fs.removeItem(downloaded(kFirmware));
        fs.removeItem(downloaded(kDashboard));
    }
}

TEST_F(LocationTest, HttpFailuresGiveTheirFlags) {
    HttpServer http(serverFolder());
    struct Case {
        std::string location;
        std::string device;
        std::string flag;
    };
    const Case cases[] = {
        {http.url(), "QV999", "2"},
        {http.url() + "/nowhere", "QV230", "2"},
        {"http://127.0.0.1:" + std::to_string(closedPort()), "QV230", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location + " " + c.device);
        reconfigure("", c.location);
        check(c.device);
        EXPECT_EQ(flag(), c.flag);
    }
}

TEST_F(LocationTest, HttpResumesWithARangeAndCopesWithAServerThatIgnoresIt) {
    HttpServer http(serverFolder());
    writeSelection({kFirmware});
    for (const bool ignoring : {false, true}) {
        SCOPED_TRACE(ignoring ? "ranges ignored" : "ranges honoured");
        http.ignoreRanges(ignoring);
        fs.removeItem(downloaded(kFirmware));
        reconfigure("FailDownloadAtPercent=50", http.url());
        check("QV230");
        download();
        if (fs.fileSize(partial(kFirmware)) != 3000u)
            GTEST_SKIP() << "the temporary folder keeps no extended attributes";
        reconfigure("", http.url());
        download();
        EXPECT_EQ(read(downloaded(kFirmware)), packageBytes('F', 4500));
        EXPECT_EQ(recorder.lines().back(), "finished 1");
    }
    const auto requests = http.requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(),
                         std::string("GET /QV230/") + kFirmware + " bytes=3000-"),
              2);
}

TEST_F(LocationTest, StopDownloadReturnsPromptlyWhileTheHttpServerSendsNothing) {
    HttpServer http(serverFolder());
    http.stallAfter(2500);
    reconfigure("", http.url());
    check("QV230");
    writeSelection({kFirmware, kDashboard});
    recorder.clear();
    agent->Download();
    ASSERT_TRUE(recorder.waitForLine("progress 30 " + kFirmwareText));
    mustReturnWithin(
        5, [&] { agent->StopDownload(); }, "StopDownload on a silent server");
    EXPECT_FALSE(exists(partial(kFirmware)));
    EXPECT_FALSE(exists(downloaded(kFirmware)));
    EXPECT_EQ(recorder.lines().back(), "progress 30 " + kFirmwareText);
}
