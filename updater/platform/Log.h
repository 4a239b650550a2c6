#pragma once
// The log: NSLog-style lines (to the system log and standard error) and puts (standard output).

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tallowick::platform {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void logLine(std::string_view message) = 0;
    virtual void putsLine(std::string_view text) = 0;
};

class Log {
public:
    explicit Log(std::shared_ptr<LogSink> sink) : m_sink(std::move(sink)) {}

    // NSLog: a printf-style line. Safe from any thread.
    void NSLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void line(std::string_view message);
    // puts: one line on standard output.
    void puts(std::string_view text);

private:
    std::shared_ptr<LogSink> m_sink;
};

// The local time as NSLog stamps its lines: "2026-12-11 14:30:03.731".
std::string logTimestamp();

// Lines on standard error in NSLog's form ("date time program[pid:tid] message") and to syslog;
// puts lines on standard output.
std::shared_ptr<LogSink> makeSystemLogSink(std::string programName);

// Keeps every line for tests.
class CaptureLogSink : public LogSink {
public:
    void logLine(std::string_view message) override;
    void putsLine(std::string_view text) override;
    std::vector<std::string> lines() const;
    std::vector<std::string> putsLines() const;
    bool contains(std::string_view message) const;
    std::size_t count(std::string_view message) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_puts;
};

} // namespace tallowick::platform
