#include "core/UCInterface.h"

#include <string>

#include "core/UpdateControl.h"

namespace tallowick {

namespace {

// Runs a controller operation on the UI thread, if the controller still exists by then.
template <typename F> void postToController(platform::MainLoop& loop, F operation) {
    loop.post([operation = std::move(operation)] {
        if (UpdateControl* control = pUpdateControl.load())
            operation(*control);
    });
}

} // namespace

UCInterface::UCInterface(platform::MainLoop& mainLoop, platform::Log& log)
    : m_mainLoop(mainLoop), m_log(log) {
    GetAgent();
}

UCInterface::~UCInterface() { ::UnInit(); }

void UCInterface::RegisterSelf() {
    ::RegisterCMUpdaterInterface(*this);
    m_log.line("Register CMUpdaterInterface!");
}

void UCInterface::GetAgent() {
    m_agent = ::GetUpdateAgentInterface();
    m_log.line("GetUpdateAgentInterface!");
}

// The forwarding operations skip a missing agent object rather than crash on it.
void UCInterface::SetFilePath(char* path) {
    if (m_agent)
        m_agent->SetFilePath(path);
}

void UCInterface::Init() {
    if (m_agent)
        m_agent->Init();
}

void UCInterface::Update(_UpdateMode mode, _CLIENT_INFO info) {
    const _CLIENT_INFO copy = copyClientInfo(info);
    if (m_agent)
        m_agent->Update(mode, copy);
}

void UCInterface::Download() {
    if (m_agent)
        m_agent->Download();
}

void UCInterface::RefuseDownload() {
    if (m_agent)
        m_agent->RefuseDownload();
}

void UCInterface::StopDownload() {
    if (m_agent)
        m_agent->StopDownload();
}

void UCInterface::HaveNewVsersion() {
    postToController(m_mainLoop, [](UpdateControl& c) { c.HaveNewVersion(); });
}

void UCInterface::SetNowDownloadStatus(_CheckVersionState state) {
    m_log.NSLog("Enter the download status:%d", static_cast<int>(state));
    const int value = static_cast<int>(state);
    postToController(m_mainLoop, [value](UpdateControl& c) { c.ManualUpdateState(value); });
}

void UCInterface::DownloadFinished(bool success) {
    m_log.NSLog("Enter the call back finish function with result:%d", success ? 1 : 0);
    postToController(m_mainLoop, [success](UpdateControl& c) { c.DownloadFinished(success); });
}

void UCInterface::DownloadProcess(char* text, int percent) {
    std::string line = text ? text : "";
    const double value = static_cast<double>(percent);
    postToController(m_mainLoop, [line = std::move(line), value](UpdateControl& c) {
        c.DownloadProcess(line, value);
    });
}

} // namespace tallowick
