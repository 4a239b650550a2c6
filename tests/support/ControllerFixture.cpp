#include "ControllerFixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tallowick::test {

TraceRecorder::TraceRecorder(platform::Trace& trace) {
    trace.addListener([mutex = m_mutex, lines = m_lines](const std::string& line) {
        std::lock_guard lock(*mutex);
        lines->push_back(line);
    });
}

std::vector<std::string> TraceRecorder::lines() const {
    std::lock_guard lock(*m_mutex);
    return *m_lines;
}

bool TraceRecorder::contains(const std::string& line) const {
    return count(line) > 0;
}

std::size_t TraceRecorder::count(const std::string& line) const {
    std::lock_guard lock(*m_mutex);
    return static_cast<std::size_t>(std::count(m_lines->begin(), m_lines->end(), line));
}

void TraceRecorder::clear() {
    std::lock_guard lock(*m_mutex);
    m_lines->clear();
}

ControllerRig::ControllerRig(platform::HeadlessMainLoop::Clock clock)
    : loop(clock), bundle(TALLOWICK_TEST_RESOURCES) {
    userDefaults.languages = {"en"};
    fakeagent::reset();
}

ControllerRig::~ControllerRig() {
    control.reset();
    loop.runPending();
}

void ControllerRig::startController() {
    control = UpdateControl::init(services);
    control->connectInterface(windows.windowSet());
    control->awakeFromNib();
    control->applicationWillFinishLaunching();
}

void ControllerRig::send(const plist::Dictionary& message) {
    channel.deliver(platform::makeMessageEvent(message));
    loop.runPending();
}

bool ControllerRig::runUntil(const std::function<bool()>& done, double seconds) {
    return loop.runUntil(done, seconds);
}

plist::Dictionary updateMessage(int mode) {
    return plist::Dictionary{
        {"CMD_ID", 2},
        {"OS", "Linux"},
        {"DEVICE_TYPE", "QV230"},
        {"UI_VERSION", "UI 1.0"},
        {"FW_VERSION", "FW 1.0"},
        {"UNSIGNED_ID", "ID-42"},
        {"CLIENT_GROUP", "group"},
        {"LANGUAGE", "en"},
        {"EXTERN_PARA", "extra"},
        {"UPDATE_MODE", mode},
    };
}

} // namespace tallowick::test
