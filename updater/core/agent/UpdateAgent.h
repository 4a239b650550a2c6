#pragma once
// The update agent library's interface, as the program relies on it: the agent object, the
// callback interface it reports through (slot order binds), and its exported functions.

#include <cstdint>

#include "core/ClientInfo.h"

// Update modes; the program gives meaning to the manual mode only and passes others on.
enum _UpdateMode : std::int32_t {
    UPDATE_MODE_AUTO = 0,
    UPDATE_MODE_MANUAL = 1,
};

// Check and download states reported by the agent.
enum _CheckVersionState : std::int32_t {
    CHECKSTATE_LOCALVERSION = 1,
    CHECKSTATE_SERVICEVERSION = 2,
    CHECKSTATE_DOWNLOADING = 3,
    CHECKSTATE_DOWNLOADSUCCEED = 4,
    CHECKSTATE_DOWNLOADFAILED = 5,
    CHECKSTATE_DOWNLOADREFUSED = 6,
    CHECKSTATE_NODOWNLOAD = 7,
};

// The agent calls these by slot: destructor, HaveNewVsersion, SetNowDownloadStatus,
// DownloadFinished, DownloadProcess.
class CMUpdaterInterface {
public:
    virtual ~CMUpdaterInterface() {}
    virtual void HaveNewVsersion() = 0;
    virtual void SetNowDownloadStatus(_CheckVersionState state) = 0;
    virtual void DownloadFinished(bool success) = 0;
    virtual void DownloadProcess(char* text, int percent) = 0;
};

class UpdateAgentInterface {
public:
    virtual void SetFilePath(char* path) = 0;
    virtual void Init() = 0;
    virtual void Update(_UpdateMode mode, _CLIENT_INFO info) = 0;
    virtual void Download() = 0;
    virtual void RefuseDownload() = 0;
    virtual void StopDownload() = 0;

protected:
    // The agent object belongs to the library; the program never deletes it.
    ~UpdateAgentInterface() = default;
};

UpdateAgentInterface* GetUpdateAgentInterface();
void RegisterCMUpdaterInterface(CMUpdaterInterface& callbacks);
void UnInit();
