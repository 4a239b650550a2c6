#pragma once
// A controller over the headless window set, a virtual clock, a temporary root, a capture log
// and the test agent: what most unit tests start from.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeAgent.h"
#include "TempRoot.h"
#include "core/UpdateControl.h"
#include "platform/headless/HeadlessMainLoop.h"
#include "platform/headless/HeadlessWindowSet.h"
#include "platform/headless/Trace.h"

namespace tallowick::test {

// Collects trace lines in memory.
class TraceRecorder {
public:
    explicit TraceRecorder(platform::Trace& trace);
    std::vector<std::string> lines() const;
    bool contains(const std::string& line) const;
    std::size_t count(const std::string& line) const;
    void clear();

private:
    std::shared_ptr<std::mutex> m_mutex = std::make_shared<std::mutex>();
    std::shared_ptr<std::vector<std::string>> m_lines =
        std::make_shared<std::vector<std::string>>();
};

// Everything a controller needs, over the headless window set and the test agent, on a
// virtual or a real clock.
class ControllerRig {
public:
    explicit ControllerRig(
        platform::HeadlessMainLoop::Clock clock = platform::HeadlessMainLoop::Clock::Virtual);
    virtual ~ControllerRig();
    ControllerRig(const ControllerRig&) = delete;
    ControllerRig& operator=(const ControllerRig&) = delete;

    // Creates the controller as the program does: init, connections, awakeFromNib,
    // applicationWillFinishLaunching.
    void startController();
    // Delivers a message dictionary as a message event, on the UI thread.
    void send(const plist::Dictionary& message);
    // Runs tasks posted from other threads until `done` holds (bounded real-time wait).
    bool runUntil(const std::function<bool()>& done, double seconds = 5.0);

    TempRoot root;
    platform::FileSystem fs{root.path()};
    std::shared_ptr<platform::CaptureLogSink> logSink =
        std::make_shared<platform::CaptureLogSink>();
    platform::Log log{logSink};
    platform::HeadlessMainLoop loop;
    platform::StaticWorkspace workspace;
    platform::StaticUserDefaults userDefaults;
    platform::Bundle bundle;
    platform::DirectMessageChannel channel;
    platform::CountingSound sound;
    platform::Platform services{loop, fs, log, workspace, userDefaults, bundle, channel, sound};
    platform::Trace trace;
    TraceRecorder traced{trace};
    platform::HeadlessWindowSet windows{loop, trace};
    std::unique_ptr<UpdateControl> control;
};

class ControllerFixture : public ::testing::Test, public ControllerRig {};

// The eight client information keys with a value each, and the update mode.
plist::Dictionary updateMessage(int mode);

} // namespace tallowick::test
