#pragma once
// The message socket: a Unix-domain stream socket under the root mapping, owner-only, that
// takes frames from senders of the same user (or root) and posts each decoded event to the
// UI thread.

#include <atomic>
#include <string>
#include <thread>

#include "platform/AppleEvent.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/MainLoop.h"
#include "platform/MessageChannel.h"

namespace tallowick::platform {

inline constexpr const char* kMessageSocketFolder = "/tmp/tallowick";
inline constexpr const char* kMessageSocketPath = "/tmp/tallowick/tallowick.sock";

class SocketMessageServer {
public:
    SocketMessageServer(const FileSystem& fs, MainLoop& loop, const DirectMessageChannel& channel,
                        Log& log);
    ~SocketMessageServer();
    SocketMessageServer(const SocketMessageServer&) = delete;
    SocketMessageServer& operator=(const SocketMessageServer&) = delete;

    // Binds the socket and starts the reader thread; false with the reason when it cannot.
    bool start(std::string& error);
    void stop();
    std::string socketPath() const { return m_fs.resolve(kMessageSocketPath); }

private:
    void readerLoop();

    const FileSystem& m_fs;
    MainLoop& m_loop;
    const DirectMessageChannel& m_channel;
    Log& m_log;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_reader;
};

// Sends one event and waits until the receiver has read it. False with the reason when it
// could not be delivered.
bool sendMessageEvent(const FileSystem& fs, const AppleEvent& event, std::string& error,
                      double timeoutSeconds = 10.0);

} // namespace tallowick::platform
