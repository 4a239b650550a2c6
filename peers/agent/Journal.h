#pragma once
// What the agent tells about itself: a few log lines on standard error, and, when the
// settings name one, a journal file under the root with one line per call it took and per
// callback it made, in order (for tests that watch the agent from outside the program).

#include <mutex>
#include <string>
#include <string_view>

namespace tallowick::agent {

// A line on standard error in the log's usual form, marked as the agent's.
void logLine(std::string_view message);

class Journal {
public:
    // An empty path switches the journal off.
    void setPath(std::string hostPath);
    void line(std::string_view text);

private:
    std::mutex m_mutex;
    std::string m_path;
};

} // namespace tallowick::agent
