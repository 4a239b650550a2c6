#include "platform/headless/Trace.h"

#include <cstdio>
#include <cstdlib>

namespace tallowick::platform {

Trace Trace::fromEnvironment() {
    if (const char* path = std::getenv("TALLOWICK_TRACE"); path && *path)
        return Trace(path);
    return Trace();
}

Trace::Trace(const std::string& path) : m_file(path, std::ios::out | std::ios::app) {}

Trace::Trace(Trace&& other) noexcept
    : m_file(std::move(other.m_file)), m_listeners(std::move(other.m_listeners)),
      m_nextListener(other.m_nextListener) {}

void Trace::write(std::string line) {
    std::lock_guard lock(m_mutex);
    if (m_file.is_open()) {
        m_file << line << '\n';
        m_file.flush();
    }
    for (const auto& [handle, listener] : m_listeners)
        listener(line);
}

std::size_t Trace::addListener(Listener listener) {
    std::lock_guard lock(m_mutex);
    m_listeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void Trace::removeListener(std::size_t handle) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_listeners, [handle](const auto& l) { return l.first == handle; });
}

std::string Trace::quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

} // namespace tallowick::platform
