#include "HttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace agenttest {

namespace {

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string httpDate(time_t t) {
    struct tm gmt {};
    ::gmtime_r(&t, &gmt);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &gmt);
    return text;
}

} // namespace

HttpServer::HttpServer(std::string folder) : m_folder(std::move(folder)) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (m_listenFd < 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, 16) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("the test HTTP server cannot listen");
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread(&HttpServer::acceptLoop, this);
}

HttpServer::~HttpServer() {
    ::close(m_wake[1]); // wakes the acceptor and every stalled connection
    m_acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto& t : connections)
        t.join();
    ::close(m_wake[0]);
    ::close(m_listenFd);
}

std::vector<std::string> HttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void HttpServer::acceptLoop() {
    for (;;) {
        pollfd p[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back(&HttpServer::serve, this, fd);
    }
}

void HttpServer::serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        pollfd p[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(p, 2, 5000) <= 0 || p[1].revents) {
            ::close(fd);
            return;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string method = request.substr(0, request.find(' '));
    const std::size_t pathStart = method.size() + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
    std::string range;
    if (const std::size_t at = request.find("\r\nRange: bytes="); at != std::string::npos) {
        const std::size_t from = at + std::strlen("\r\nRange: bytes=");
        range = request.substr(from, request.find("\r\n", from) - from);
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(method + " " + path + (range.empty() ? "" : " bytes=" + range));
    }

    struct stat st {};
    const std::string file = m_folder + path;
    const int in =
        path.find("..") == std::string::npos ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::string reply =
            "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        sendAll(fd, reply.data(), reply.size());
        if (in >= 0)
            ::close(in);
        ::close(fd);
        return;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t from = 0;
    if (!range.empty() && !m_ignoreRanges)
        from = std::stoull(range.substr(0, range.find('-')));
    std::string head;
    if (from > 0 && from >= size) {
        head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n";
    } else if (from > 0) {
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
               "-" + std::to_string(size - 1) + "/" + std::to_string(size) +
               "\r\nContent-Length: " + std::to_string(size - from) + "\r\n";
    } else {
        head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n";
    }
    head += "Last-Modified: " + httpDate(st.st_mtim.tv_sec) + "\r\nConnection: close\r\n\r\n";
    bool ok = sendAll(fd, head.data(), head.size());
    if (method == "GET" && from < size) {
        std::uint64_t sent = 0;
        while (ok) {
            if (sent >= m_stallAfter) {
                pollfd p{m_wake[0], POLLIN, 0};
                ::poll(&p, 1, -1); // until the server stops
                break;
            }
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(sizeof buffer, m_stallAfter - sent));
            const ssize_t n = ::pread(in, buffer, want, static_cast<off_t>(from + sent));
            if (n <= 0)
                break;
            ok = sendAll(fd, buffer, static_cast<std::size_t>(n));
            sent += static_cast<std::uint64_t>(n);
        }
    }
    ::close(in);
    ::close(fd);
}

} // namespace agenttest
