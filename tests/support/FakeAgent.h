#pragma once
// A scriptable update agent library for tests: it records every call with its arguments and
// lets a test fire the four callbacks from a thread of its own, as the real agent does.

#include <functional>
#include <string>
#include <vector>

#include "core/agent/UpdateAgent.h"

namespace fakeagent {

struct UpdateCall {
    int mode = 0;
    _CLIENT_INFO info{};
};

// Every call in order: "GetUpdateAgentInterface", "RegisterCMUpdaterInterface", "UnInit",
// "SetFilePath <path>", "Init", "Update <mode>", "Download", "RefuseDownload", "StopDownload".
std::vector<std::string> calls();
std::vector<UpdateCall> updateCalls();
void reset();

// The registered callback object (null before RegisterCMUpdaterInterface or after UnInit).
CMUpdaterInterface* registered();
// Runs `report` with the registered callbacks on a new thread and waits for it to end.
void fireFromThread(const std::function<void(CMUpdaterInterface&)>& report);

} // namespace fakeagent
