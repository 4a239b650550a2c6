#pragma once
// What the agent's tests share: a temporary root with the agent's settings file and a server
// folder, a recording callback object, bounded waits, and the agent library itself (the
// process-wide agent object, registered and unregistered around each test).

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TempRoot.h"
#include "core/agent/UpdateAgent.h"
#include "platform/FileSystem.h"

namespace agenttest {

inline constexpr const char* kSettingsPath = "/System/Library/ModemList/Update/UpdateCfg.ini";
inline constexpr const char* kServer = "/srv/update";
inline constexpr const char* kDownload = "/System/Library/Auto_Update/download";
inline constexpr const char* kJournal = "/var/log/agent-journal.txt";
inline constexpr const char* kFirmware = "FirmwareUpdatePackage.zip";
inline constexpr const char* kDashboard = "CMUpdatePackage.zip";

using tallowick::test::TempRoot;

// Records every callback as a line: "state N", "HaveNewVsersion", "progress P TEXT",
// "finished 0|1". After close() any further callback is counted as late.
class Recorder final : public CMUpdaterInterface {
public:
    void HaveNewVsersion() override { add("HaveNewVsersion"); }
    void SetNowDownloadStatus(_CheckVersionState state) override {
        add("state " + std::to_string(static_cast<int>(state)));
    }
    void DownloadFinished(bool success) override { add(success ? "finished 1" : "finished 0"); }
    void DownloadProcess(char* text, int percent) override {
        add("progress " + std::to_string(percent) + " " + (text ? text : "(null)"));
    }

    // Runs on the agent's thread before each line is recorded. Set before the agent runs.
    std::function<void(const std::string& line)> hook;

    std::vector<std::string> lines() const;
    std::vector<std::string> linesStartingWith(const std::string& prefix) const;
    std::size_t count(const std::string& line) const;
    // Bounded wait for `done` over the recorded lines.
    bool waitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                 double seconds = 10);
    bool waitForLine(const std::string& line, std::size_t times = 1, double seconds = 10);
    void clear();
    void close();
    std::size_t late() const;

private:
    void add(std::string line);
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    bool m_closed = false;
    std::size_t m_late = 0;
};

// Runs `f` on a thread of its own and fails the whole run when it has not returned within
// the limit: an agent call that hangs cannot be recovered from.
void mustReturnWithin(double seconds, const std::function<void()>& f, const char* what);

class AgentFixture : public ::testing::Test {
protected:
    AgentFixture();
    ~AgentFixture() override;

    // The settings file: the server location, chunks of 1000 bytes, the journal, and the
    // given [Faults] lines.
    void writeSettings(const std::string& faults = "", const std::string& location = kServer);
    // Rewrites the settings and has the agent read them again.
    void reconfigure(const std::string& faults, const std::string& location = kServer);

    // A package file on the server and a description offering the given packages.
    void putPackage(const std::string& device, const std::string& name, const std::string& bytes);
    static std::string description(const std::string& device,
                                   const std::vector<std::string>& packages);
    void putDescription(const std::string& device, const std::string& xml);
    // Both packages (4500 and 2000 bytes) and their description for the device type.
    void putStandardServer(const std::string& device = "QV230");
    static std::string packageBytes(char seed, std::size_t size);

    void writeSelection(const std::vector<std::string>& names);
    static std::string selection(const std::vector<std::string>& names);

    // Update with a client record for the device type; waits for the check's end.
    void check(const std::string& device = "QV230", int mode = UPDATE_MODE_MANUAL);
    void update(const std::string& device, int mode = UPDATE_MODE_MANUAL);
    // Download; waits for the download's end in the journal.
    void download();

    std::vector<std::string> journal() const;
    bool waitForJournal(const std::string& line, std::size_t times = 1, double seconds = 10);
    std::size_t journalCount(const std::string& line) const;

    std::optional<std::string> read(const std::string& systemPath) const;
    bool exists(const std::string& systemPath) const;
    void write(const std::string& systemPath, const std::string& bytes) const;
    static std::string downloaded(const std::string& name) {
        return std::string(kDownload) + "/" + name;
    }
    static std::string partial(const std::string& name) { return downloaded(name) + ".tmp"; }
    static std::string onServer(const std::string& device, const std::string& name) {
        return std::string(kServer) + "/" + device + "/" + name;
    }

    TempRoot root;
    tallowick::platform::FileSystem fs{root.path()};
    Recorder recorder;
    UpdateAgentInterface* agent = nullptr;
};

} // namespace agenttest
