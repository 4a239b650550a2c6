// The stand-in dashboard, run as a program against a message socket in a temporary root.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/MessageChannel.h"
#include "platform/Plist.h"
#include "platform/Workspace.h"
#include "platform/headless/HeadlessMainLoop.h"
#include "platform/posix/SocketTransport.h"

extern char** environ;

using namespace tallowick;
using plist::Dictionary;
using plist::Value;

namespace {

class TempRoot {
public:
    TempRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "dashboard-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A started dashboard process, its standard output on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child start(const std::string& root, std::vector<std::string> args) {
    args.insert(args.begin(), DASHBOARD_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"TALLOWICK_ROOT=" + root};
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int pipeFds[2];
    EXPECT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    Child c;
    EXPECT_EQ(::posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    c.out = pipeFds[0];
    return c;
}

// The exit code, or -1 when the process has not ended within the limit (it is killed then).
int finish(Child& c, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(c.pid, &status, WNOHANG);
        if (done == c.pid)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(c.pid, SIGKILL);
            ::waitpid(c.pid, &status, 0);
            ::close(c.out);
            return -1;
        }
        pollfd p{c.out, POLLIN, 0};
        ::poll(&p, 1, 5);
        if (p.revents & POLLIN) {
            char sink[256];
            [[maybe_unused]] const ssize_t n = ::read(c.out, sink, sizeof sink);
        }
    }
    ::close(c.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads the child's output until `line` has come (bounded).
bool waitForOutput(const Child& c, const std::string& line, double seconds = 10) {
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{c.out, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[256];
            const ssize_t n = ::read(c.out, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            seen.append(buffer, static_cast<std::size_t>(n));
            if (seen.find(line) != std::string::npos)
                return true;
        }
    }
    return false;
}

class DashboardTest : public ::testing::Test {
protected:
    DashboardTest() : server(fs, loop, channel, log) {
        channel.setEventHandler(platform::fourCharCode("GURL"), platform::fourCharCode("GURL"),
                                [this](const platform::AppleEvent& e) {
                                    const auto* p =
                                        e.paramDescriptorForKeyword(platform::fourCharCode("UCMS"));
                                    auto value = p ? plist::parse(p->data) : std::nullopt;
                                    received.push_back(value && value->isDictionary()
                                                           ? *value->asDictionary()
                                                           : Dictionary{{"not", "a dictionary"}});
                                });
    }
    ~DashboardTest() override { server.stop(); }

    void listen() {
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
    }

    int dashboard(std::vector<std::string> args) {
        Child c = start(root.path(), std::move(args));
        return finish(c);
    }

    bool dashboardRuns() const {
        for (const auto& app : platform::LockFileWorkspace(fs).launchedApplications())
            if (app.stringValue("NSApplicationBundleIdentifier") == "com.brenlo.USBMODEM")
                return true;
        return false;
    }

    TempRoot root;
    platform::FileSystem fs{root.path()};
    platform::Log log{std::make_shared<platform::CaptureLogSink>()};
    platform::HeadlessMainLoop loop{platform::HeadlessMainLoop::Clock::Real};
    platform::DirectMessageChannel channel;
    platform::SocketMessageServer server;
    std::vector<Dictionary> received; // UI thread only
};

} // namespace

TEST_F(DashboardTest, EachSubcommandSendsItsMessage) {
    listen();
    const std::vector<std::pair<std::vector<std::string>, Dictionary>> cases = {
        {{"update", "--mode",         "0",  "--device",       "QV240", "--fw",
          "F1",     "--ui",           "U1", "--os",           "O",     "--unsigned-id",
          "I",      "--client-group", "G",  "--language",     "L",     "--extern-para",
          "E",      "--ui-language",  "fr", "--device-state", "true"},
         {{"CMD_ID", 2},
          {"UI_Language", "fr"},
          {"OS", "O"},
          {"DEVICE_TYPE", "QV240"},
          {"UI_VERSION", "U1"},
          {"FW_VERSION", "F1"},
          {"UNSIGNED_ID", "I"},
          {"CLIENT_GROUP", "G"},
          {"LANGUAGE", "L"},
          {"EXTERN_PARA", "E"},
          {"UPDATE_MODE", 0},
          {"DEVICE_STATE", true}}},
        {{"update", "--device-state", "false"},
         {{"CMD_ID", 2},
          {"OS", "Mac OS X"},
          {"DEVICE_TYPE", "QV230"},
          {"UI_VERSION", "16.001.06.00.00"},
          {"FW_VERSION", "21.100.00.00.00"},
          {"UNSIGNED_ID", "0123456789"},
          {"CLIENT_GROUP", "default"},
          {"LANGUAGE", "en"},
          {"EXTERN_PARA", ""},
          {"UPDATE_MODE", 1},
          {"DEVICE_STATE", false}}},
        {{"plug", "QV230"}, {{"CMD_ID", 3}, {"DEVICE_STATE", true}, {"DEVICE_TYPE", "QV230"}}},
        {{"plug", "QV250", "--fw", "X"},
         {{"CMD_ID", 3}, {"DEVICE_STATE", true}, {"DEVICE_TYPE", "QV250"}, {"FW_VERSION", "X"}}},
        {{"unplug"}, {{"CMD_ID", 3}, {"DEVICE_STATE", false}}},
        {{"init"}, {{"CMD_ID", 1}}},
        {{"close-net"}, {{"CMD_ID", 4}}},
        {{"close-ui"}, {{"CMD_ID", 5}}},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args.front() + " with " + std::to_string(args.size() - 1) + " arguments");
        received.clear();
        EXPECT_EQ(dashboard(args), 0);
        ASSERT_TRUE(loop.runUntil([&] { return !received.empty(); }, 10));
        // Same keys, values and value types (a number is not a string of digits here).
        EXPECT_EQ(received.front().size(), expected.size());
        for (const auto& [key, value] : expected) {
            const Value* got = received.front().find(key);
            ASSERT_NE(got, nullptr) << key;
            EXPECT_EQ(*got, value) << key;
        }
    }
}

TEST_F(DashboardTest, UsageErrorsAndAMissingReceiverHaveTheirExitCodes) {
    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {"fly"},
        {"update", "--mode"},
        {"update", "--mode", "manual"},
        {"update", "--device-state", "maybe"},
        {"update", "--colour", "red"},
        {"plug"},
        {"plug", "--fw", "1"},
        {"unplug", "QV230"},
        {"run", "now"},
    };
    for (const auto& args : usageErrors) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args.front() + " ...");
        EXPECT_EQ(dashboard(args), 2);
    }
    EXPECT_EQ(dashboard({"init"}), 1) << "nothing listens yet";
    listen();
    EXPECT_EQ(dashboard({"init"}), 0);
    ASSERT_TRUE(loop.runUntil([&] { return received.size() == 1; }, 10));
}

TEST_F(DashboardTest, RunHoldsTheRunningApplicationLockUntilItIsEnded) {
    listen();
    EXPECT_FALSE(dashboardRuns());
    Child running = start(root.path(), {"run"});
    ASSERT_TRUE(waitForOutput(running, "dashboard: running"));
    EXPECT_TRUE(dashboardRuns());

    // While one dashboard runs, another can still send; it cannot run a second time.
    EXPECT_EQ(dashboard({"plug", "QV230"}), 0);
    EXPECT_EQ(dashboard({"run"}), 1);
    EXPECT_TRUE(dashboardRuns());

    ::kill(running.pid, SIGTERM);
    EXPECT_EQ(finish(running), 0);
    EXPECT_FALSE(dashboardRuns());
    ASSERT_TRUE(loop.runUntil([&] { return received.size() == 1; }, 10));
}
