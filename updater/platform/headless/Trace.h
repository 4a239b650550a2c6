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
    // Called for every line, on the thread that wrote it; gives a handle for removeListener.
    std::size_t addListener(Listener listener);
    void removeListener(std::size_t handle);

    // A text in double quotes with \\, \", \r, \n and \t escaped.
    static std::string quote(std::string_view text);

private:
    std::mutex m_mutex;
    std::ofstream m_file;
    std::vector<std::pair<std::size_t, Listener>> m_listeners;
    std::size_t m_nextListener = 1;
};

} // namespace tallowick::platform
