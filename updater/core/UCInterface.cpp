#include "core/UCInterface.h"

#include <string>

#include "core/UpdateControl.h"
#include "core/Utf8.h"

namespace tallowick {

UCInterface::UCInterface(platform::MainLoop& mainLoop, platform::Log& log)
    : m_mainLoop(mainLoop), m_log(log) {
    GetAgent();
}

UCInterface::~UCInterface() {
    ::UnInit();
}

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
    enqueue(NewVersion{});
}

void UCInterface::SetNowDownloadStatus(_CheckVersionState state) {
    m_log.NSLog("Enter the download status:%d", static_cast<int>(state));
    enqueue(State{static_cast<int>(state)});
}

void UCInterface::DownloadFinished(bool success) {
    m_log.NSLog("Enter the call back finish function with result:%d", success ? 1 : 0);
    enqueue(Finished{success});
}

void UCInterface::DownloadProcess(char* text, int percent) {
    // The text is read as UTF-8; one that is not (or none) adds no line.
    std::optional<std::string> line;
    if (text && isValidUtf8(text))
        line = std::string(text);
    enqueue(Progress{{std::move(line)}, static_cast<double>(percent)});
}

void UCInterface::enqueue(Report report) {
    {
        std::lock_guard lock(m_queue->mutex);
        // Consecutive download reports merge: applying them one by one or together leaves
        // the same lines and the same bar, so only the last percentage need be kept.
        std::deque<Report>& reports = m_queue->reports;
        if (auto* incoming = std::get_if<Progress>(&report); incoming && !reports.empty()) {
            if (auto* last = std::get_if<Progress>(&reports.back())) {
                for (auto& t : incoming->texts) {
                    if (!t || (!last->texts.empty() && last->texts.back() == t))
                        continue; // no text, or a repeat of the one just before: no line
                    last->texts.push_back(std::move(t));
                }
                last->percent = incoming->percent;
                return;
            }
        }
        reports.push_back(std::move(report));
        if (m_queue->drainPending)
            return;
        m_queue->drainPending = true;
    }
    m_mainLoop.post([queue = m_queue] { drain(*queue); });
}

void UCInterface::drain(ReportQueue& queue) {
    std::deque<Report> reports;
    {
        std::lock_guard lock(queue.mutex);
        reports.swap(queue.reports);
        queue.drainPending = false;
    }
    for (auto& report : reports) {
        UpdateControl* c = pUpdateControl.load();
        if (!c)
            return;
        std::visit(
            [c](auto& r) {
                using T = std::decay_t<decltype(r)>;
                if constexpr (std::is_same_v<T, NewVersion>)
                    c->HaveNewVersion();
                else if constexpr (std::is_same_v<T, State>)
                    c->ManualUpdateState(r.state);
                else if constexpr (std::is_same_v<T, Finished>)
                    c->DownloadFinished(r.success);
                else
                    c->DownloadProcessBatch(r.texts, r.percent);
            },
            report);
    }
}

} // namespace tallowick
