// The stand-in update agent: checks a local or http update server for the packages of the
// client's device type, leaves the answer in Description.xml, and downloads the packages the
// user chose. Work runs on two threads of the agent (one for checks, one for downloads);
// every operation called by the program returns without waiting for that work.

#include "core/agent/UpdateAgent.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <libxml/parser.h>

#include "Documents.h"
#include "Journal.h"
#include "ServerSource.h"
#include "Settings.h"
#include "platform/FileSystem.h"

namespace tallowick::agent {

namespace {

constexpr const char* kDescriptionPath = "/System/Library/Auto_Update/download/Description.xml";
constexpr const char* kSelectionPath = "/System/Library/Auto_Update/download/UserSelection.xml";
constexpr std::size_t kDescriptionLimit = 4 * 1024 * 1024;
constexpr std::size_t kSelectionLimit = 1024 * 1024;
// Names the server file a partial download was started from; see FileInfo::identity.
constexpr const char* kResumeAttribute = "user.tallowick.source";

std::string fieldText(const char (&field)[64]) {
    return std::string(field, ::strnlen(field, sizeof field));
}

struct Job {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> removePartial{false};
};

// The settings and the root as they stood when a request was made.
struct Context {
    Settings settings;
    std::optional<platform::FileSystem> fs;
    std::string fsError;
};

// The packages the latest check offered, and for which device type.
struct Offer {
    std::string deviceType;
    std::vector<std::string> filenames;
};

struct CheckRequest {
    std::shared_ptr<Job> job;
    int mode = 0;
    _CLIENT_INFO info{};
    Context context;
};

struct DownloadRequest {
    std::shared_ptr<Job> job;
    Context context;
    std::optional<Offer> offer;
};

struct WorkerControl {
    bool stop = false; // guarded by the agent's lock
};

class Agent final : public UpdateAgentInterface {
public:
    Agent() { xmlInitParser(); }
    ~Agent() {
        unInit();
        joinOrphans();
    }
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    void SetFilePath(char* path) override;
    void Init() override;
    void Update(_UpdateMode mode, _CLIENT_INFO info) override;
    void Download() override;
    void RefuseDownload() override;
    void StopDownload() override;

    void registerCallbacks(CMUpdaterInterface& callbacks);
    void unInit();

private:
    // Reads the settings file now when Init has not been called yet.
    Context context();
    void readSettings();
    void checkLoop(std::shared_ptr<WorkerControl> control);
    void downloadLoop(std::shared_ptr<WorkerControl> control);
    void runCheck(const CheckRequest& request);
    void runDownload(const DownloadRequest& request, std::vector<std::string>& partials);
    void removePartials(const Context& context, const std::vector<std::string>& partials);

    // Makes one callback unless the job was cancelled or no callback object is registered.
    // The lock is never held while the callback runs.
    bool report(const Job& job, const std::string& journalLine,
                const std::function<void(CMUpdaterInterface&)>& call);
    bool reportState(const Job& job, int state);
    bool reportProgress(const Job& job, const std::string& text, int percent, bool journal);
    // Waits, returning false early when the job is cancelled.
    bool pause(const Job& job, int milliseconds);
    void joinOrphans();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    Journal m_journal;

    // Guarded by m_mutex.
    CMUpdaterInterface* m_callbacks = nullptr;
    std::string m_settingsPath;
    bool m_settingsRead = false;
    Context m_context;
    std::optional<Offer> m_offer;
    int m_refusals = 0;

    std::thread m_checkThread;
    std::shared_ptr<WorkerControl> m_checkControl;
    std::optional<CheckRequest> m_pendingCheck;
    std::shared_ptr<Job> m_checkJob; // the latest check, pending or running

    std::thread m_downloadThread;
    std::shared_ptr<WorkerControl> m_downloadControl;
    std::optional<DownloadRequest> m_pendingDownload;
    std::shared_ptr<Job> m_downloadJob;     // the latest download, the one a stop is for
    std::shared_ptr<Job> m_runningDownload; // the download the worker is on

    // Worker threads that UnInit, called on themselves, could not join.
    std::vector<std::thread> m_orphans;
};

// ---- calls from the program ----

void Agent::SetFilePath(char* path) {
    const std::string p = path ? path : "";
    m_journal.line("SetFilePath " + p);
    std::lock_guard lock(m_mutex);
    m_settingsPath = p;
}

void Agent::Init() {
    readSettings();
    m_journal.line("Init");
}

void Agent::readSettings() {
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        path = m_settingsPath.empty() ? kDefaultSettingsPath : m_settingsPath;
    }
    Context c;
    c.fs = platform::FileSystem::fromEnvironment(c.fsError);
    if (!c.fs) {
        logLine("no usable root: " + c.fsError);
    } else if (const auto text = c.fs->readFile(path)) {
        c.settings = parseSettings(*text);
        for (const auto& problem : c.settings.problems)
            logLine(path + ", " + problem);
    } else {
        logLine("cannot read the settings file " + path);
    }
    std::string journal;
    if (c.fs && !c.settings.journal.empty()) {
        journal = c.fs->resolve(c.settings.journal);
        const std::size_t slash = c.settings.journal.rfind('/');
        if (slash != std::string::npos && slash > 0)
            c.fs->createDirectories(c.settings.journal.substr(0, slash));
    }
    m_journal.setPath(journal);
    std::lock_guard lock(m_mutex);
    m_context = std::move(c);
    m_settingsRead = true;
}

Context Agent::context() {
    {
        std::lock_guard lock(m_mutex);
        if (m_settingsRead)
            return m_context;
    }
    readSettings();
    std::lock_guard lock(m_mutex);
    return m_context;
}

void Agent::Update(_UpdateMode mode, _CLIENT_INFO info) {
    Context c = context();
    m_journal.line("Update " + std::to_string(static_cast<int>(mode)) + " " +
                   fieldText(info.DeviceType));
    std::lock_guard lock(m_mutex);
    // The latest request wins: a check still pending or running is abandoned and makes no
    // further callback.
    if (m_checkJob)
        m_checkJob->cancelled = true;
    m_checkJob = std::make_shared<Job>();
    m_pendingCheck = CheckRequest{m_checkJob, static_cast<int>(mode), info, std::move(c)};
    if (!m_checkThread.joinable()) {
        m_checkControl = std::make_shared<WorkerControl>();
        m_checkThread = std::thread(&Agent::checkLoop, this, m_checkControl);
    }
    m_cv.notify_all();
}

void Agent::Download() {
    Context c = context();
    m_journal.line("Download");
    std::lock_guard lock(m_mutex);
    // A download still running is abandoned (its partial file kept for the new one to
    // resume); only the new one ends with DownloadFinished.
    if (m_downloadJob)
        m_downloadJob->cancelled = true;
    m_downloadJob = std::make_shared<Job>();
    m_pendingDownload = DownloadRequest{m_downloadJob, std::move(c), m_offer};
    if (!m_downloadThread.joinable()) {
        m_downloadControl = std::make_shared<WorkerControl>();
        m_downloadThread = std::thread(&Agent::downloadLoop, this, m_downloadControl);
    }
    m_cv.notify_all();
}

void Agent::RefuseDownload() {
    int refusals = 0;
    {
        std::lock_guard lock(m_mutex);
        refusals = ++m_refusals;
    }
    m_journal.line("RefuseDownload");
    logLine("the user declined the offered update (" + std::to_string(refusals) +
            (refusals == 1 ? " time)" : " times)"));
}

void Agent::StopDownload() {
    m_journal.line("StopDownload");
    std::unique_lock lock(m_mutex);
    const std::shared_ptr<Job> job = m_downloadJob;
    if (!job)
        return;
    job->removePartial = true;
    job->cancelled = true;
    m_cv.notify_all();
    // Called from a callback on the download thread itself: the job ends when it returns.
    if (m_downloadThread.get_id() == std::this_thread::get_id())
        return;
    // Waits for the download to wind down: its partial file is gone and it makes no further
    // callback once this returns. Every step of it polls the cancel flag.
    m_cv.wait(lock, [&] {
        return m_runningDownload != job && !(m_pendingDownload && m_pendingDownload->job == job);
    });
}

void Agent::registerCallbacks(CMUpdaterInterface& callbacks) {
    m_journal.line("RegisterCMUpdaterInterface");
    std::lock_guard lock(m_mutex);
    m_callbacks = &callbacks;
}

void Agent::unInit() {
    m_journal.line("UnInit");
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        m_callbacks = nullptr;
        for (const auto& job : {m_checkJob, m_downloadJob})
            if (job)
                job->cancelled = true;
        m_pendingCheck.reset();
        m_pendingDownload.reset();
        for (const auto& control : {m_checkControl, m_downloadControl})
            if (control)
                control->stop = true;
        m_checkControl.reset();
        m_downloadControl.reset();
        if (m_checkThread.joinable())
            threads.push_back(std::move(m_checkThread));
        if (m_downloadThread.joinable())
            threads.push_back(std::move(m_downloadThread));
        m_cv.notify_all();
    }
    for (auto& t : threads) {
        if (t.get_id() == std::this_thread::get_id()) {
            std::lock_guard lock(m_mutex);
            m_orphans.push_back(std::move(t));
        } else {
            t.join();
        }
    }
    std::lock_guard lock(m_mutex);
    m_checkJob.reset();
    m_downloadJob.reset();
    m_runningDownload.reset();
    m_cv.notify_all();
}

void Agent::joinOrphans() {
    std::vector<std::thread> orphans;
    {
        std::lock_guard lock(m_mutex);
        orphans.swap(m_orphans);
    }
    for (auto& t : orphans)
        if (t.get_id() != std::this_thread::get_id())
            t.join();
        else
            t.detach();
}

// ---- callbacks ----

bool Agent::report(const Job& job, const std::string& journalLine,
                   const std::function<void(CMUpdaterInterface&)>& call) {
    CMUpdaterInterface* callbacks = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (job.cancelled || !m_callbacks)
            return false;
        callbacks = m_callbacks;
    }
    if (!journalLine.empty())
        m_journal.line(journalLine);
    call(*callbacks);
    return true;
}

bool Agent::reportState(const Job& job, int state) {
    return report(job, "SetNowDownloadStatus " + std::to_string(state),
                  [state](CMUpdaterInterface& c) {
                      c.SetNowDownloadStatus(static_cast<_CheckVersionState>(state));
                  });
}

bool Agent::reportProgress(const Job& job, const std::string& text, int percent, bool journal) {
    return report(
        job, journal ? "DownloadProcess " + std::to_string(percent) + " " + text : std::string(),
        [&text, percent](CMUpdaterInterface& c) {
            // The callee gets its own copy: the parameter is not const.
            std::vector<char> copy(text.begin(), text.end());
            copy.push_back('\0');
            c.DownloadProcess(copy.data(), percent);
        });
}

bool Agent::pause(const Job& job, int milliseconds) {
    std::unique_lock lock(m_mutex);
    return !m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [&] { return job.cancelled.load(); });
}

// ---- the check ----

void Agent::checkLoop(std::shared_ptr<WorkerControl> control) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [&] { return control->stop || m_pendingCheck.has_value(); });
        if (control->stop)
            return;
        const CheckRequest request = std::move(*m_pendingCheck);
        m_pendingCheck.reset();
        lock.unlock();
        runCheck(request);
        lock.lock();
    }
}

namespace {

// What a check answers: the bytes of Description.xml (none: leave no description) and the
// packages it offers.
struct Answer {
    std::optional<std::string> description;
    std::optional<Offer> offer;
    std::string summary;
};

Answer failure(int flag, const std::string& why) {
    return {failureDescription(flag, why), std::nullopt,
            "Flag " + std::to_string(flag) + " (" + why + ")"};
}

Answer answerCheck(const Context& c, const std::string& device, const Job& job) {
    const Faults& f = c.settings.faults;
    if (f.checkFlag)
        return failure(*f.checkFlag,
                       f.checkErrMsg.empty() ? "Simulated check failure" : f.checkErrMsg);
    if (device.size() > 63 || !isPlainName(device))
        return failure(2, "No update package for this device type");
    std::string error;
    const auto source = makeServerSource(c.settings.location, *c.fs, error);
    if (!source)
        return failure(0, error);
    std::string bytes;
    switch (source->fetch(device + "/Description.xml", kDescriptionLimit, bytes, error,
                          [&job] { return job.cancelled.load(); })) {
    case Outcome::Ok:
        break;
    case Outcome::NotFound:
        return failure(2, "No update package for device type " + device);
    case Outcome::Cancelled:
        return {};
    default:
        return failure(0, "The update server could not be read: " + error);
    }
    const ServerDescription d = readServerDescription(bytes);
    if (!d.wellFormed)
        return failure(0,
                       "The update server's description for " + device + " is not well-formed XML");
    if (d.failureForm)
        return {std::move(bytes), std::nullopt, "the server's own failure description"};
    Answer a{std::move(bytes), Offer{device, d.filenames}, ""};
    a.summary = std::to_string(d.filenames.size()) + " package(s) offered";
    return a;
}

} // namespace

void Agent::runCheck(const CheckRequest& request) {
    struct EndLine {
        Journal& journal;
        ~EndLine() { journal.line("check: end"); }
    } endLine{m_journal};
    const Job& job = *request.job;
    const Context& c = request.context;
    const Faults& f = c.settings.faults;
    const std::string device = fieldText(request.info.DeviceType);
    if (f.neverReport) {
        m_journal.line("check: never reports");
        return;
    }
    const auto states = [&] {
        for (int state : {CHECKSTATE_LOCALVERSION, CHECKSTATE_SERVICEVERSION}) {
            if (!reportState(job, state))
                return false;
            if (f.checkDelayMs > 0 && !pause(job, f.checkDelayMs))
                return false;
        }
        return true;
    };
    if (!f.newVersionBeforeStates && !states())
        return;
    if (f.finalState) {
        if (reportState(job, *f.finalState))
            m_journal.line("check: ended with state " + std::to_string(*f.finalState));
        return;
    }

    Answer answer;
    if (!c.fs)
        answer.summary = "no usable root (" + c.fsError + "), no description written";
    else if (f.missingDescription)
        answer.summary = "Description.xml left out";
    else
        answer = answerCheck(c, device, job);
    if (job.cancelled)
        return;
    if (c.fs) {
        bool written = false;
        if (answer.description) {
            written = c.fs->createDirectories(kDownloadFolder) &&
                      c.fs->writeFileAtomically(kDescriptionPath, *answer.description);
            if (!written)
                answer.summary += "; Description.xml could not be written";
        }
        // An old description must not pass for this check's answer.
        if (!written)
            c.fs->removeItem(kDescriptionPath);
        if (!written)
            answer.offer.reset();
    }
    {
        std::lock_guard lock(m_mutex);
        if (job.cancelled)
            return;
        m_offer = answer.offer;
    }
    logLine("check for " + device + ": " + answer.summary);
    m_journal.line("check: " + answer.summary);
    report(job, "HaveNewVsersion", [](CMUpdaterInterface& cb) { cb.HaveNewVsersion(); });
    if (f.newVersionBeforeStates)
        states();
}

// ---- the download ----

void Agent::downloadLoop(std::shared_ptr<WorkerControl> control) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [&] { return control->stop || m_pendingDownload.has_value(); });
        if (control->stop)
            return;
        const DownloadRequest request = std::move(*m_pendingDownload);
        m_pendingDownload.reset();
        m_runningDownload = request.job;
        lock.unlock();
        std::vector<std::string> partials;
        runDownload(request, partials);
        if (request.job->removePartial)
            removePartials(request.context, partials);
        m_journal.line("download: end");
        lock.lock();
        if (m_runningDownload == request.job)
            m_runningDownload.reset();
        if (m_downloadJob == request.job)
            m_downloadJob.reset();
        m_cv.notify_all();
    }
}

void Agent::removePartials(const Context& c, const std::vector<std::string>& partials) {
    if (!c.fs)
        return;
    for (const auto& name : partials) {
        const std::string tmp = std::string(kDownloadFolder) + "/" + name + ".tmp";
        if (c.fs->removeItem(tmp))
            m_journal.line("download: stopped, removed " + name + ".tmp");
    }
}

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int percentOf(std::uint64_t done, std::uint64_t total) {
    if (total == 0)
        return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total));
}

// Opens the partial file, keeping what it holds when it was started from the same server
// file and is not longer than it; returns the offset to go on from, or -1.
long long openPartial(const std::string& hostPath, const FileInfo& info, int& fd) {
    fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    long long offset = 0;
    char stored[4096];
    const ssize_t n = ::fgetxattr(fd, kResumeAttribute, stored, sizeof stored);
    struct stat st {};
    if (n > 0 && std::string(stored, static_cast<std::size_t>(n)) == info.identity &&
        ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) <= info.size)
        offset = st.st_size;
    if (::ftruncate(fd, offset) != 0 || ::lseek(fd, offset, SEEK_SET) != offset) {
        ::close(fd);
        fd = -1;
        return -1;
    }
    // Where the file system keeps no such attributes the download simply cannot resume.
    ::fsetxattr(fd, kResumeAttribute, info.identity.data(), info.identity.size(), 0);
    return offset;
}

} // namespace

void Agent::runDownload(const DownloadRequest& request, std::vector<std::string>& partials) {
    const Job& job = *request.job;
    const Context& c = request.context;
    const Faults& f = c.settings.faults;
    const auto cancelled = [&job] { return job.cancelled.load(); };

    const auto finish = [&](bool ok, const std::string& why) {
        if (job.cancelled)
            return;
        logLine(ok ? "download complete" : "download failed: " + why);
        m_journal.line(ok ? "download: complete" : "download: failed: " + why);
        if (f.reportDownloadStates &&
            !reportState(job, ok ? CHECKSTATE_DOWNLOADSUCCEED : CHECKSTATE_DOWNLOADFAILED))
            return;
        for (int i = 0; i <= f.repeatDownloadFinished; ++i)
            if (!report(job, std::string("DownloadFinished ") + (ok ? "1" : "0"),
                        [ok](CMUpdaterInterface& cb) { cb.DownloadFinished(ok); }))
                return;
    };

    if (f.reportDownloadStates)
        reportState(job, CHECKSTATE_DOWNLOADING);
    if (!c.fs)
        return finish(false, "no usable root (" + c.fsError + ")");
    const platform::FileSystem& fs = *c.fs;

    const auto selectionSize = fs.fileSize(kSelectionPath);
    if (!selectionSize)
        return finish(false, "there is no UserSelection.xml");
    if (*selectionSize > kSelectionLimit)
        return finish(false, "UserSelection.xml is larger than it can be");
    const auto selectionBytes = fs.readFile(kSelectionPath);
    if (!selectionBytes)
        return finish(false, "UserSelection.xml cannot be read");
    const Selection selection = readSelection(*selectionBytes);
    if (!selection.ok)
        return finish(false, selection.error);
    // A stop removes the partial files of every package of this download, also of those it
    // had not come to yet (left by an earlier attempt).
    partials = selection.filenames;
    if (job.cancelled)
        return;
    if (selection.filenames.empty())
        return finish(true, "");
    if (!request.offer)
        return finish(false, "no check has offered packages to download");
    const Offer& offer = *request.offer;
    for (const auto& name : selection.filenames)
        if (std::find(offer.filenames.begin(), offer.filenames.end(), name) ==
            offer.filenames.end())
            return finish(false, name + " was not offered by the latest check");

    std::string error;
    const auto source = makeServerSource(c.settings.location, fs, error);
    if (!source)
        return finish(false, error);
    std::vector<FileInfo> infos(selection.filenames.size());
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const std::string relative = offer.deviceType + "/" + selection.filenames[i];
        switch (source->stat(relative, infos[i], error, cancelled)) {
        case Outcome::Ok:
            break;
        case Outcome::NotFound:
            return finish(false, selection.filenames[i] + " is not on the server");
        case Outcome::Cancelled:
            return;
        default:
            return finish(false, error);
        }
        total += infos[i].size;
    }
    if (!fs.createDirectories(kDownloadFolder))
        return finish(false, "the download folder cannot be created");

    std::uint64_t done = 0;
    const auto failsHere = [&](int percent) {
        return f.failDownloadAtPercent && percent >= *f.failDownloadAtPercent;
    };
    const std::string simulated =
        "simulated failure at " + std::to_string(f.failDownloadAtPercent.value_or(0)) + "%";

    for (std::size_t i = 0; i < infos.size(); ++i) {
        const std::string& name = selection.filenames[i];
        const FileInfo& info = infos[i];
        const std::string tmp = std::string(kDownloadFolder) + "/" + name + ".tmp";
        const std::string host = fs.resolve(tmp);
        int fd = -1;
        const long long offset = openPartial(host, info, fd);
        if (offset < 0)
            return finish(false, "cannot write " + tmp + ": " + std::strerror(errno));
        if (offset > 0)
            m_journal.line("download: resuming " + name + " at " + std::to_string(offset) +
                           " bytes");
        std::uint64_t written = static_cast<std::uint64_t>(offset);
        done += written;

        // Progress is reported once per chunk, with the same text for every chunk of a file.
        const std::string text = "Downloading " + name;
        enum class Stop { None, Cancelled, WriteError, Simulated } stop = Stop::None;
        const auto chunk = [&](const char* data, std::size_t size) {
            if (!writeAll(fd, data, size)) {
                stop = Stop::WriteError;
                return false;
            }
            written += size;
            done += size;
            const int percent = percentOf(done, total);
            if (!reportProgress(job, text, percent, true)) {
                stop = Stop::Cancelled;
                return false;
            }
            for (int s = 0; s < f.callbackStorm; ++s)
                if (!reportProgress(job, text, percent, false)) {
                    stop = Stop::Cancelled;
                    return false;
                }
            if (failsHere(percent)) {
                stop = Stop::Simulated;
                return false;
            }
            if (f.slowChunkMs > 0 && !pause(job, f.slowChunkMs)) {
                stop = Stop::Cancelled;
                return false;
            }
            return true;
        };
        // Pieces from the server are gathered into chunks of the configured size.
        std::vector<char> pending;
        pending.reserve(c.settings.chunkBytes);
        const auto gather = [&](const char* data, std::size_t size) {
            while (size > 0) {
                const std::size_t take = std::min(size, c.settings.chunkBytes - pending.size());
                pending.insert(pending.end(), data, data + take);
                data += take;
                size -= take;
                if (pending.size() == c.settings.chunkBytes) {
                    const bool goOn = chunk(pending.data(), pending.size());
                    pending.clear();
                    if (!goOn)
                        return false;
                }
            }
            return true;
        };

        Outcome outcome = Outcome::Ok;
        const int startPercent = percentOf(done, total);
        if (!reportProgress(job, text, startPercent, true)) {
            outcome = Outcome::Cancelled;
        } else if (failsHere(startPercent)) {
            stop = Stop::Simulated;
            outcome = Outcome::Stopped;
        } else if (written < info.size) {
            outcome = source->stream(offer.deviceType + "/" + name, written, c.settings.chunkBytes,
                                     gather, error, cancelled);
        }
        if (outcome == Outcome::Ok && !pending.empty() && !chunk(pending.data(), pending.size()))
            outcome = Outcome::Stopped;

        struct stat st {};
        const bool whole = outcome == Outcome::Ok && ::fstat(fd, &st) == 0 &&
                           static_cast<std::uint64_t>(st.st_size) == info.size;
        if (whole)
            ::fremovexattr(fd, kResumeAttribute);
        const bool kept = whole && ::fsync(fd) == 0;
        ::close(fd);

        if (job.cancelled || outcome == Outcome::Cancelled || stop == Stop::Cancelled)
            return;
        if (stop == Stop::Simulated)
            return finish(false, simulated);
        if (stop == Stop::WriteError)
            return finish(false, "cannot write " + tmp);
        if (outcome == Outcome::NotFound)
            return finish(false, name + " is not on the server");
        if (outcome != Outcome::Ok)
            return finish(false, name + ": " + error);
        if (!whole)
            return finish(false, name + " ended after " + std::to_string(st.st_size) + " of " +
                                     std::to_string(info.size) + " bytes");
        if (!kept || !fs.moveItem(tmp, std::string(kDownloadFolder) + "/" + name))
            return finish(false, "cannot complete " + name);
        m_journal.line("download: " + name + " complete");
    }
    finish(true, "");
}

Agent& agent() {
    static Agent instance;
    return instance;
}

} // namespace

} // namespace tallowick::agent

UpdateAgentInterface* GetUpdateAgentInterface() {
    return &tallowick::agent::agent();
}

void RegisterCMUpdaterInterface(CMUpdaterInterface& callbacks) {
    tallowick::agent::agent().registerCallbacks(callbacks);
}

void UnInit() {
    tallowick::agent::agent().unInit();
}
