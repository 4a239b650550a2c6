#include "platform/headless/Pilot.h"

#include <chrono>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>

namespace tallowick::platform {

Pilot::Pilot(std::string scriptPath, MainLoop& loop, HeadlessWindowSet& windows, Trace& trace,
             std::function<void(const std::string&)> onFailure)
    : m_scriptPath(std::move(scriptPath)), m_loop(loop), m_windows(windows),
      m_onFailure(std::move(onFailure)), m_trace(trace) {
    m_listener = trace.addListener([this](const std::string& line) {
        {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        }
        m_changed.notify_all();
    });
}

Pilot::~Pilot() {
    stop();
    m_trace.removeListener(m_listener);
}

void Pilot::start() {
    m_thread = std::thread([this] { run(); });
}

void Pilot::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void Pilot::run() {
    std::ifstream script(m_scriptPath);
    if (!script) {
        m_onFailure("pilot: cannot read " + m_scriptPath);
        return;
    }
    int number = 0;
    for (std::string line; std::getline(script, line);) {
        ++number;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
        }
        std::string error;
        if (!step(line, error)) {
            m_onFailure("pilot: line " + std::to_string(number) + ": " + error);
            return;
        }
    }
}

bool Pilot::step(const std::string& line, std::string& error) {
    std::istringstream in(line);
    std::string verb;
    if (!(in >> verb) || verb[0] == '#')
        return true;
    if (verb == "wait") {
        std::string rest;
        std::getline(in, rest);
        rest.erase(0, rest.find_first_not_of(" \t"));
        // An optional time limit in seconds ends the line.
        double seconds = 30;
        const std::size_t blank = rest.find_last_of(" \t");
        if (blank != std::string::npos) {
            const std::string last = rest.substr(blank + 1);
            char* end = nullptr;
            const double value = std::strtod(last.c_str(), &end);
            if (!last.empty() && *end == '\0' && value > 0) {
                seconds = value;
                rest.erase(rest.find_last_not_of(" \t", blank) + 1);
            }
        }
        if (rest.empty()) {
            error = "wait needs a pattern";
            return false;
        }
        return waitFor(rest, seconds, error);
    }
    if (verb == "click") {
        std::string field;
        if (!(in >> field)) {
            error = "click needs a button's field name";
            return false;
        }
        if (!m_windows.button(field)) {
            error = "there is no button " + field;
            return false;
        }
        onUIThread([this, field] { return m_windows.click(field); });
        return true;
    }
    if (verb == "table") {
        std::string field, action;
        int row = 0;
        if (!(in >> field >> action >> row) || !m_windows.table(field)) {
            error = "expected: table FIELD click ROW COLUMN | table FIELD select ROW";
            return false;
        }
        if (action == "click") {
            std::string column;
            if (!(in >> column)) {
                error = "table click needs a column identifier";
                return false;
            }
            onUIThread(
                [this, field, row, column] { return m_windows.clickTable(field, row, column); });
            return true;
        }
        if (action == "select") {
            onUIThread([this, field, row] { return m_windows.selectTableRow(field, row); });
            return true;
        }
        error = "unknown table action " + action;
        return false;
    }
    if (verb == "sleep") {
        double seconds = 0;
        if (!(in >> seconds) || seconds < 0) {
            error = "sleep needs a number of seconds";
            return false;
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::duration<double>(seconds),
                           [&] { return m_stopping; });
        return true;
    }
    error = "unknown step \"" + verb + "\"";
    return false;
}

bool Pilot::waitFor(const std::string& pattern, double seconds, std::string& error) {
    std::regex re;
    try {
        re = std::regex(pattern, std::regex::extended);
    } catch (const std::regex_error&) {
        error = "not a regular expression: " + pattern;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    std::unique_lock lock(m_mutex);
    for (;;) {
        for (; m_cursor < m_lines.size(); ++m_cursor) {
            if (std::regex_search(m_lines[m_cursor], re)) {
                ++m_cursor;
                return true;
            }
        }
        if (m_stopping) {
            error = "stopped";
            return false;
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout &&
            m_cursor == m_lines.size()) {
            error =
                "gave up waiting for \"" + pattern + "\" after " + std::to_string(seconds) + " s";
            return false;
        }
    }
}

bool Pilot::onUIThread(const std::function<bool()>& action) {
    auto done = std::make_shared<std::promise<bool>>();
    auto result = done->get_future();
    m_loop.post([action, done] { done->set_value(action()); });
    // The UI thread runs the action soon; a stop ends the wait too.
    while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
    }
    return result.get();
}

} // namespace tallowick::platform
