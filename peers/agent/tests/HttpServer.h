#pragma once
// A small HTTP/1.1 file server on 127.0.0.1 for the agent's tests: GET and HEAD of the files
// under one folder, byte ranges ("Range: bytes=N-"), and two misbehaviours on request: a
// server that ignores ranges, and one that stops sending after a number of body bytes.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace agenttest {

class HttpServer {
public:
    explicit HttpServer(std::string folder);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void ignoreRanges(bool on) { m_ignoreRanges = on; }
    // After this many body bytes of a GET the server sends nothing more until it stops.
    void stallAfter(std::uint64_t bytes) { m_stallAfter = bytes; }
    // "GET /QV230/CMUpdatePackage.zip bytes=100-", one per request.
    std::vector<std::string> requests() const;

private:
    void acceptLoop();
    void serve(int fd);

    std::string m_folder;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_ignoreRanges{false};
    std::atomic<std::uint64_t> m_stallAfter{UINT64_MAX};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

} // namespace agenttest
