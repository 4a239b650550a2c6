#pragma once
// The trace of the headless window set: one line per visible effect, naming the control by
// its field name (`m_WaitOKBtn title="OK" enabled=0`, `m_WaitWnd front`).

#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tallowick::platform {

class Trace {
public:
    using Listener = std::function<void(const std::string& line)>;

    // Writes to the file named by TALLOWICK_TRACE when it is set.
    static Trace fromEnvironment();
    Trace() = default;
    explicit Trace(const std::string& path);
    Trace(Trace&&) noexcept;

    void write(std::string line);
    // Called for every line, on the thread that wrote it.
    void addListener(Listener listener);

    // A text in double quotes with \\, \", \r, \n and \t escaped.
    static std::string quote(std::string_view text);

private:
    std::mutex m_mutex;
    std::ofstream m_file;
    std::vector<Listener> m_listeners;
};

} // namespace tallowick::platform
