#include "FakeAgent.h"

#include <mutex>
#include <thread>

namespace fakeagent {

namespace {

std::mutex gMutex;
std::vector<std::string> gCalls;
std::vector<UpdateCall> gUpdates;
CMUpdaterInterface* gCallbacks = nullptr;

void record(std::string call) {
    std::lock_guard lock(gMutex);
    gCalls.push_back(std::move(call));
}

class Agent final : public UpdateAgentInterface {
public:
    void SetFilePath(char* path) override {
        record(std::string("SetFilePath ") + (path ? path : ""));
    }
    void Init() override { record("Init"); }
    void Update(_UpdateMode mode, _CLIENT_INFO info) override {
        {
            std::lock_guard lock(gMutex);
            gUpdates.push_back({static_cast<int>(mode), info});
        }
        record("Update " + std::to_string(static_cast<int>(mode)) + " " + info.DeviceType);
    }
    void Download() override { record("Download"); }
    void RefuseDownload() override { record("RefuseDownload"); }
    void StopDownload() override { record("StopDownload"); }
};

Agent gAgent;

} // namespace

std::vector<std::string> calls() {
    std::lock_guard lock(gMutex);
    return gCalls;
}

std::vector<UpdateCall> updateCalls() {
    std::lock_guard lock(gMutex);
    return gUpdates;
}

void reset() {
    std::lock_guard lock(gMutex);
    gCalls.clear();
    gUpdates.clear();
}

CMUpdaterInterface* registered() {
    std::lock_guard lock(gMutex);
    return gCallbacks;
}

void fireFromThread(const std::function<void(CMUpdaterInterface&)>& report) {
    CMUpdaterInterface* callbacks = registered();
    if (!callbacks)
        return;
    std::thread([&] { report(*callbacks); }).join();
}

} // namespace fakeagent

UpdateAgentInterface* GetUpdateAgentInterface() {
    fakeagent::record("GetUpdateAgentInterface");
    return &fakeagent::gAgent;
}

void RegisterCMUpdaterInterface(CMUpdaterInterface& callbacks) {
    {
        std::lock_guard lock(fakeagent::gMutex);
        fakeagent::gCallbacks = &callbacks;
    }
    fakeagent::record("RegisterCMUpdaterInterface");
}

void UnInit() {
    {
        std::lock_guard lock(fakeagent::gMutex);
        fakeagent::gCallbacks = nullptr;
    }
    fakeagent::record("UnInit");
}
