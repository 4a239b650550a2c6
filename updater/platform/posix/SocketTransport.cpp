#include "platform/posix/SocketTransport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace tallowick::platform {

namespace {

constexpr std::size_t kMaxConnections = 32;
// A sender that stops half-way through a frame is dropped after this long.
constexpr auto kStalledSenderLimit = std::chrono::seconds(10);

bool makeAddress(const std::string& path, sockaddr_un& addr, std::string& error) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "the socket path " + path + " is too long for a Unix socket";
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Only the same user or root may send.
bool peerAllowed(int fd, uid_t& peerUid) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    peerUid = cred.uid;
    return cred.uid == ::getuid() || cred.uid == 0;
}

struct Connection {
    std::string buffer;
    std::chrono::steady_clock::time_point lastProgress;
};

} // namespace

SocketMessageServer::SocketMessageServer(const FileSystem& fs, MainLoop& loop,
                                         const DirectMessageChannel& channel, Log& log)
    : m_fs(fs), m_loop(loop), m_channel(channel), m_log(log) {}

SocketMessageServer::~SocketMessageServer() {
    stop();
}

bool SocketMessageServer::start(std::string& error) {
    const std::string folder = m_fs.resolve(kMessageSocketFolder);
    if (!m_fs.createDirectories(kMessageSocketFolder)) {
        error = "cannot create the socket folder " + folder;
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        error = "the socket folder " + folder + " is not a folder of this user";
        return false;
    }
    ::chmod(folder.c_str(), 0700);

    const std::string path = socketPath();
    sockaddr_un addr{};
    if (!makeAddress(path, addr, error))
        return false;

    // A socket that answers belongs to a running instance; one that does not is stale.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0) {
        const bool live = ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(probe);
        if (live) {
            error = "another instance already listens on " + path;
            return false;
        }
    }
    ::unlink(path.c_str());

    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const mode_t old = ::umask(0077);
    const int bound = ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    if (bound != 0 || ::listen(m_listenFd, 16) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    ::chmod(path.c_str(), 0600);
    setNonBlocking(m_listenFd);
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_reader = std::thread([this] { readerLoop(); });
    return true;
}

void SocketMessageServer::stop() {
    if (m_reader.joinable()) {
        const char byte = 'q';
        [[maybe_unused]] const ssize_t n = ::write(m_wakePipe[1], &byte, 1);
        m_reader.join();
    }
    if (m_listenFd >= 0)
        ::unlink(socketPath().c_str());
    for (int* fd : {&m_listenFd, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void SocketMessageServer::readerLoop() {
    std::map<int, Connection> connections;
    auto drop = [&](int fd) {
        ::close(fd);
        connections.erase(fd);
    };
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({m_wakePipe[0], POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        for (const auto& [fd, c] : connections)
            fds.push_back({fd, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), 1000);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;

        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int fd =
                    ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                uid_t uid = 0;
                if (!peerAllowed(fd, uid)) {
                    m_log.NSLog("Message refused: the sender runs as user %u",
                                static_cast<unsigned>(uid));
                    ::close(fd);
                    continue;
                }
                if (connections.size() >= kMaxConnections) {
                    m_log.line("Message refused: too many senders at once");
                    ::close(fd);
                    continue;
                }
                connections[fd] = Connection{{}, std::chrono::steady_clock::now()};
            }
        }

        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            const int fd = fds[i].fd;
            auto it = connections.find(fd);
            if (it == connections.end())
                continue;
            Connection& c = it->second;
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                if (now - c.lastProgress > kStalledSenderLimit) {
                    m_log.line("Message dropped: the sender stalled in the middle of a frame");
                    drop(fd);
                }
                continue;
            }
            char chunk[65536];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0) {
                if (!c.buffer.empty())
                    m_log.line("Message dropped: the sender closed in the middle of a frame");
                drop(fd);
                continue;
            }
            c.buffer.append(chunk, static_cast<std::size_t>(n));
            c.lastProgress = now;
            bool broken = false;
            for (;;) {
                frame::DecodeResult r = frame::decode(c.buffer);
                if (r.status == frame::DecodeStatus::NeedMore)
                    break;
                if (r.status == frame::DecodeStatus::Malformed) {
                    m_log.NSLog("Message dropped: %s", r.error.c_str());
                    broken = true;
                    break;
                }
                c.buffer.erase(0, r.consumed);
                // The task holds the channel, which outlives the server and its tasks.
                m_loop.post(
                    [&channel = m_channel, event = std::move(r.event)] { channel.deliver(event); });
                // One acknowledgement byte per frame taken: the sender's proof of delivery.
                [[maybe_unused]] const ssize_t acked =
                    ::send(fd, "K", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            if (broken)
                drop(fd);
        }
    }
    for (const auto& [fd, c] : connections)
        ::close(fd);
}

bool sendMessageEvent(const FileSystem& fs, const AppleEvent& event, std::string& error,
                      double timeoutSeconds) {
    const std::string bytes = frame::encode(event);
    const std::string path = fs.resolve(kMessageSocketPath);
    sockaddr_un addr{};
    if (!makeAddress(path, addr, error))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "cannot connect to " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::string("cannot send: ") + std::strerror(errno);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    // The receiver acknowledges each frame it takes with one byte; a refused frame or sender
    // gets the connection closed instead.
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(timeoutSeconds * 1000));
    char ack = 0;
    const ssize_t n = ready > 0 ? ::read(fd, &ack, 1) : -1;
    ::close(fd);
    if (ready <= 0) {
        error = "the receiver did not take the message in time";
        return false;
    }
    if (n != 1 || ack != 'K') {
        error = "the receiver refused the message";
        return false;
    }
    return true;
}

} // namespace tallowick::platform
