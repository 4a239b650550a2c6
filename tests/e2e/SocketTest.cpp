// Message events over the real socket, from other processes.

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ControllerFixture.h"
#include "platform/posix/SocketTransport.h"

using namespace tallowick;
using namespace tallowick::test;
using tallowick::plist::Dictionary;

namespace {

class SocketTest : public ControllerFixture {
protected:
    SocketTest() : server(fs, loop, channel, log) {
        startController();
        std::string error;
        if (!server.start(error))
            ADD_FAILURE() << error;
        logSink->clear();
    }
    ~SocketTest() override { server.stop(); }

    static std::string frameFor(const Dictionary& message) {
        return platform::frame::encode(platform::makeMessageEvent(message));
    }

    // A child process that writes raw bytes over one connection and exits with 0 when the
    // receiver closed the connection or answered. `asUser` drops root first.
    pid_t sendRaw(const std::string& bytes, uid_t asUser = 0) {
        const std::string path = server.socketPath();
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (asUser != 0 && ::setuid(asUser) != 0)
                ::_exit(3);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
                ::_exit(4);
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n =
                    ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
                if (n <= 0)
                    ::_exit(5);
                done += static_cast<std::size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            char buf[64];
            while (::read(fd, buf, sizeof buf) > 0) {
            }
            ::_exit(0);
        }
        return pid;
    }

    int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool logged(const std::string& line, double seconds = 5) {
        return runUntil([&] { return logSink->contains(line); }, seconds);
    }

    platform::SocketMessageServer server;
};

} // namespace

TEST_F(SocketTest, FramesFromAnotherProcessArriveInOrder) {
    std::string bytes;
    for (int i = 0; i < 20; ++i)
        bytes += frameFor(i % 2 ? Dictionary{{"CMD_ID", 1}}
                                : Dictionary{{"CMD_ID", 3}, {"DEVICE_STATE", false}});
    const pid_t child = sendRaw(bytes);
    ASSERT_TRUE(runUntil([&] { return logSink->count("Init Command") == 10; }));
    EXPECT_EQ(wait(child), 0);
    const auto lines = logSink->lines();
    ASSERT_EQ(lines.size(), 30u);
    for (std::size_t i = 0, at = 0; i < 20; ++i) {
        if (i % 2) {
            EXPECT_EQ(lines[at++], "quorlan:Deal the Init message");
            EXPECT_EQ(lines[at++], "Init Command");
        } else {
            EXPECT_EQ(lines[at++], "Device State Command");
        }
    }
}

TEST_F(SocketTest, BadFramesAndForeignSendersAreRefusedAndTheNextMessageStillArrives) {
    const std::string good = frameFor(Dictionary{{"CMD_ID", 1}});
    std::string tooManyParameters = good.substr(0, 8) + std::string("\0\0\0\x11", 4);
    std::string oversized = good.substr(0, 8) + std::string("\0\0\0\x01", 4) + "UCMSutf8" +
                            std::string("\x00\x20\x00\x00", 4); // 2 MiB announced
    const std::string notADictionary = platform::frame::encode([] {
        platform::AppleEvent e = platform::makeMessageEvent(Dictionary{});
        e.parameters[0].data = plist::toXml(plist::Value(plist::Array{plist::Value(1)}));
        return e;
    }());
    struct Case {
        const char* name;
        std::string bytes;
        uid_t user;
        const char* logLine;
    };
    const Case cases[] = {
        {"too many parameters", tooManyParameters, 0,
         "Message dropped: frame has 17 parameters, more than 16"},
        {"oversized", oversized, 0, "Message dropped: frame is larger than 1048576 bytes"},
        {"truncated", good.substr(0, good.size() - 3), 0,
         "Message dropped: the sender closed in the middle of a frame"},
        {"not a dictionary", notADictionary, 0,
         "Message dropped: its data is not a property-list dictionary"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logSink->clear();
        wait(sendRaw(c.bytes, c.user));
        EXPECT_TRUE(logged(c.logLine));
        EXPECT_FALSE(logSink->contains("Init Command"));
        wait(sendRaw(good));
        EXPECT_TRUE(logged("Init Command"));
    }
}

TEST_F(SocketTest, ASenderOfAnotherUserCannotDeliver) {
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    // The folder and the socket are owner-only; open them up to reach the credential check.
    const std::string folder = fs.resolve(platform::kMessageSocketFolder);
    ::chmod(fs.root().c_str(), 0755);
    ::chmod((fs.root() + "/tmp").c_str(), 0755);
    ::chmod(folder.c_str(), 0777);
    ::chmod(server.socketPath().c_str(), 0777);
    const pid_t child = sendRaw(frameFor(Dictionary{{"CMD_ID", 1}}), 65534);
    const int status = wait(child);
    EXPECT_TRUE(status == 0 || status == 5) << "the child could not connect: " << status;
    EXPECT_TRUE(logged("Message refused: the sender runs as user 65534"));
    EXPECT_FALSE(logSink->contains("Init Command"));
    wait(sendRaw(frameFor(Dictionary{{"CMD_ID", 1}})));
    EXPECT_TRUE(logged("Init Command"));
}

TEST_F(SocketTest, TheSendToolReportsWhetherItDelivered) {
    std::string error;
    EXPECT_TRUE(platform::sendMessageEvent(
        fs, platform::makeMessageEvent(Dictionary{{"CMD_ID", 1}}), error))
        << error;
    EXPECT_TRUE(logged("Init Command"));
    server.stop();
    EXPECT_FALSE(platform::sendMessageEvent(
        fs, platform::makeMessageEvent(Dictionary{{"CMD_ID", 1}}), error));
    EXPECT_FALSE(error.empty());
}
