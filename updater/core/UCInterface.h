#pragma once
// The bridge to the update agent: forwards the controller's requests to the agent object and,
// as the agent's callback object, hands the agent's reports to the controller on the UI thread.

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/agent/UpdateAgent.h"
#include "platform/Log.h"
#include "platform/MainLoop.h"

namespace tallowick {

class UCInterface : public CMUpdaterInterface {
public:
    UCInterface(platform::MainLoop& mainLoop, platform::Log& log);
    ~UCInterface() override;
    UCInterface(const UCInterface&) = delete;
    UCInterface& operator=(const UCInterface&) = delete;

    void RegisterSelf();
    void GetAgent();
    void SetFilePath(char* path);
    void Init();
    void Update(_UpdateMode mode, _CLIENT_INFO info);
    void Download();
    void RefuseDownload();
    void StopDownload();

    // Callbacks, on any of the agent's threads.
    void HaveNewVsersion() override;
    void SetNowDownloadStatus(_CheckVersionState state) override;
    void DownloadFinished(bool success) override;
    void DownloadProcess(char* text, int percent) override;

private:
    struct NewVersion {};
    struct State {
        int state;
    };
    struct Finished {
        bool success;
    };
    // Download reports that arrived back to back, merged: their texts in order, the last
    // percentage.
    struct Progress {
        std::vector<std::optional<std::string>> texts;
        double percent;
    };
    using Report = std::variant<NewVersion, State, Finished, Progress>;

    // Reports waiting for the UI thread. Shared with the pending drain task, which may run
    // after the bridge is gone (it then finds no controller and drops them).
    struct ReportQueue {
        std::mutex mutex;
        std::deque<Report> reports;
        bool drainPending = false;
    };

    // Queues a report for the UI thread; one drain task is pending at a time, so a flood of
    // reports never floods the main loop.
    void enqueue(Report report);
    static void drain(ReportQueue& queue);

    platform::MainLoop& m_mainLoop;
    platform::Log& m_log;
    UpdateAgentInterface* m_agent = nullptr;
    std::shared_ptr<ReportQueue> m_queue = std::make_shared<ReportQueue>();
};

} // namespace tallowick
