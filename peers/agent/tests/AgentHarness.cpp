#include "AgentHarness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace agenttest {

void Recorder::add(std::string line) {
    if (hook)
        hook(line);
    std::lock_guard lock(m_mutex);
    if (m_closed)
        ++m_late;
    m_lines.push_back(std::move(line));
    m_cv.notify_all();
}

std::vector<std::string> Recorder::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<std::string> Recorder::linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (auto& l : lines())
        if (l.rfind(prefix, 0) == 0)
            out.push_back(l);
    return out;
}

std::size_t Recorder::count(const std::string& line) const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count(m_lines.begin(), m_lines.end(), line));
}

bool Recorder::waitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                       double seconds) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::duration<double>(seconds),
                         [&] { return done(m_lines); });
}

bool Recorder::waitForLine(const std::string& line, std::size_t times, double seconds) {
    return waitFor(
        [&](const std::vector<std::string>& lines) {
            return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line)) >= times;
        },
        seconds);
}

void Recorder::clear() {
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

void Recorder::close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
}

std::size_t Recorder::late() const {
    std::lock_guard lock(m_mutex);
    return m_late;
}

void mustReturnWithin(double seconds, const std::function<void()>& f, const char* what) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> returned = done->get_future();
    std::thread([f, done] {
        f();
        done->set_value();
    }).detach();
    if (returned.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "FATAL: %s did not return within %.0f seconds\n", what, seconds);
        std::fflush(stderr);
        std::_Exit(1);
    }
}

AgentFixture::AgentFixture() {
    ::setenv("TALLOWICK_ROOT", root.path().c_str(), 1);
    writeSettings();
    agent = GetUpdateAgentInterface();
    RegisterCMUpdaterInterface(recorder);
    std::string path = kSettingsPath;
    agent->SetFilePath(path.data());
    agent->Init();
}

AgentFixture::~AgentFixture() {
    mustReturnWithin(
        20, [] { UnInit(); }, "UnInit");
    recorder.close();
    EXPECT_EQ(recorder.late(), 0u) << "callbacks after UnInit";
}

void AgentFixture::writeSettings(const std::string& faults, const std::string& location) {
    write(kSettingsPath,
          "; the agent's settings, written by the test\n[Server]\nLocation=" + location +
              "\n\n[Download]\nChunkBytes=1000\n\n[Log]\nJournal=" + kJournal + "\n\n[Faults]\n" +
              faults + "\n");
}

void AgentFixture::reconfigure(const std::string& faults, const std::string& location) {
    writeSettings(faults, location);
    agent->Init();
}

std::string AgentFixture::packageBytes(char seed, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 23));
    return bytes;
}

void AgentFixture::putPackage(const std::string& device, const std::string& name,
                              const std::string& bytes) {
    write(onServer(device, name), bytes);
}

std::string AgentFixture::description(const std::string& device,
                                      const std::vector<std::string>& packages) {
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UpdateInfo>\n  <PackageDescription>\n"
      << "    <Version>2.0</Version>\n    <Description>Test packages</Description>\n"
      << "    <Device>" << device << "</Device>\n  </PackageDescription>\n  <UpdateFiles>\n";
    for (const auto& p : packages)
        x << "    <UpdateFile Filename=\"" << p
          << "\" Version=\"2.0\" Size=\"1\" PriorityFlag=\"1\">The package " << p
          << "</UpdateFile>\n";
    x << "  </UpdateFiles>\n  <Server>\n    <Name>test</Name>\n  </Server>\n</UpdateInfo>\n";
    return x.str();
}

void AgentFixture::putDescription(const std::string& device, const std::string& xml) {
    write(onServer(device, "Description.xml"), xml);
}

void AgentFixture::putStandardServer(const std::string& device) {
    putPackage(device, kFirmware, packageBytes('F', 4500));
    putPackage(device, kDashboard, packageBytes('C', 2000));
    putDescription(device, description(device, {kFirmware, kDashboard}));
}

std::string AgentFixture::selection(const std::vector<std::string>& names) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UpdateConfig>\n  <UpdateFiles>\n";
    for (const auto& n : names)
        x += "    <UpdateFile Filename=\"" + n + "\" Version=\"2.0\">The package</UpdateFile>\n";
    x += "  </UpdateFiles>\n  <Ftp>\n    <Server>\n      <Name>test</Name>\n    </Server>\n"
         "  </Ftp>\n</UpdateConfig>\n";
    return x;
}

void AgentFixture::writeSelection(const std::vector<std::string>& names) {
    write(std::string(kDownload) + "/UserSelection.xml", selection(names));
}

void AgentFixture::update(const std::string& device, int mode) {
    _CLIENT_INFO info{};
    std::snprintf(info.OS, sizeof info.OS, "%s", "Linux");
    std::snprintf(info.DeviceType, sizeof info.DeviceType, "%s", device.c_str());
    std::snprintf(info.FWVersion, sizeof info.FWVersion, "%s", "1.0");
    std::snprintf(info.UIVersion, sizeof info.UIVersion, "%s", "1.0");
    agent->Update(static_cast<_UpdateMode>(mode), info);
}

void AgentFixture::check(const std::string& device, int mode) {
    const std::size_t before = journalCount("check: end");
    update(device, mode);
    ASSERT_TRUE(waitForJournal("check: end", before + 1)) << "the check did not end";
}

void AgentFixture::download() {
    const std::size_t before = journalCount("download: end");
    agent->Download();
    ASSERT_TRUE(waitForJournal("download: end", before + 1)) << "the download did not end";
}

std::vector<std::string> AgentFixture::journal() const {
    std::vector<std::string> lines;
    std::istringstream in(read(kJournal).value_or(""));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::size_t AgentFixture::journalCount(const std::string& line) const {
    const auto lines = journal();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

bool AgentFixture::waitForJournal(const std::string& line, std::size_t times, double seconds) {
    // The journal is a file written by the agent's threads: it is polled until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (journalCount(line) >= times)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::optional<std::string> AgentFixture::read(const std::string& systemPath) const {
    return fs.readFile(systemPath);
}

bool AgentFixture::exists(const std::string& systemPath) const {
    return fs.fileExists(systemPath);
}

void AgentFixture::write(const std::string& systemPath, const std::string& bytes) const {
    const std::string host = fs.resolve(systemPath);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    if (!fs.writeFileAtomically(systemPath, bytes))
        throw std::runtime_error("cannot write " + host);
}

} // namespace agenttest
