#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <sys/syscall.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

namespace tallowick::platform {

void Log::NSLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    m_sink->logLine(text);
}

void Log::line(std::string_view message) {
    m_sink->logLine(message);
}

void Log::puts(std::string_view text) {
    m_sink->putsLine(text);
}

std::string logTimestamp() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    struct tm local {};
    ::localtime_r(&tv.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char withMillis[64];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03ld", stamp,
                  static_cast<long>(tv.tv_usec / 1000));
    return withMillis;
}

namespace {

class SystemLogSink : public LogSink {
public:
    explicit SystemLogSink(std::string programName) : m_program(std::move(programName)) {
        ::openlog(m_program.c_str(), LOG_PID, LOG_USER);
    }
    ~SystemLogSink() override { ::closelog(); }

    void logLine(std::string_view message) override {
        const std::string stamp = logTimestamp();
        const long tid = ::syscall(SYS_gettid);
        std::lock_guard lock(m_mutex);
        std::fprintf(stderr, "%s %s[%d:%lx] %.*s\n", stamp.c_str(), m_program.c_str(), ::getpid(),
                     tid, static_cast<int>(message.size()), message.data());
        std::fflush(stderr);
        ::syslog(LOG_NOTICE, "%.*s", static_cast<int>(message.size()), message.data());
    }

    void putsLine(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

private:
    std::string m_program;
    std::mutex m_mutex;
};

} // namespace

std::shared_ptr<LogSink> makeSystemLogSink(std::string programName) {
    return std::make_shared<SystemLogSink>(std::move(programName));
}

void CaptureLogSink::logLine(std::string_view message) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(message);
}

void CaptureLogSink::putsLine(std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_puts.emplace_back(text);
}

std::vector<std::string> CaptureLogSink::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<std::string> CaptureLogSink::putsLines() const {
    std::lock_guard lock(m_mutex);
    return m_puts;
}

bool CaptureLogSink::contains(std::string_view message) const {
    return count(message) > 0;
}

std::size_t CaptureLogSink::count(std::string_view message) const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& l : m_lines)
        if (l == message)
            ++n;
    return n;
}

void CaptureLogSink::clear() {
    std::lock_guard lock(m_mutex);
    m_lines.clear();
    m_puts.clear();
}

} // namespace tallowick::platform
