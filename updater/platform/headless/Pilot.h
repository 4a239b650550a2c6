#pragma once
// A scripted user for the headless window set: reads a file line by line and acts as a person
// at the screen would.
//
//   wait PATTERN [SECONDS]          until a trace line matching PATTERN (an extended regular
//                                   expression) is written after the previous match; fails
//                                   loudly after SECONDS (default 30)
//   click FIELD                     clicks a button by its field name
//   table FIELD click ROW COLUMN    clicks a table cell (row number, column identifier)
//   table FIELD select ROW          selects a table row
//   sleep SECONDS
//   # comment
//
// A click on a disabled button or on one whose window is hidden does nothing, as on a screen.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainLoop.h"
#include "platform/headless/HeadlessWindowSet.h"
#include "platform/headless/Trace.h"

namespace tallowick::platform {

class Pilot {
public:
    // `onFailure` runs (on the pilot's thread) with the reason when a step fails.
    Pilot(std::string scriptPath, MainLoop& loop, HeadlessWindowSet& windows, Trace& trace,
          std::function<void(const std::string&)> onFailure);
    ~Pilot();
    Pilot(const Pilot&) = delete;
    Pilot& operator=(const Pilot&) = delete;

    void start();
    // Stops a running script (a wait in progress ends at once).
    void stop();

private:
    void run();
    bool step(const std::string& line, std::string& error);
    bool waitFor(const std::string& pattern, double seconds, std::string& error);
    bool onUIThread(const std::function<bool()>& action);

    std::string m_scriptPath;
    MainLoop& m_loop;
    HeadlessWindowSet& m_windows;
    std::function<void(const std::string&)> m_onFailure;
    Trace& m_trace;
    std::size_t m_listener = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    std::size_t m_cursor = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tallowick::platform
