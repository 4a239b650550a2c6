#pragma once
// The bridge to the update agent: forwards the controller's requests to the agent object and,
// as the agent's callback object, hands the agent's reports to the controller on the UI thread.

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
    platform::MainLoop& m_mainLoop;
    platform::Log& m_log;
    UpdateAgentInterface* m_agent = nullptr;
};

} // namespace tallowick
