#include "ApplicationMain.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <thread>

#include "core/UpdateControl.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessMainLoop.h"
#include "platform/headless/HeadlessWindowSet.h"
#include "platform/headless/Pilot.h"
#include "platform/headless/Trace.h"
#include "platform/posix/SocketTransport.h"

#ifndef TALLOWICK_RESOURCE_DIR
#define TALLOWICK_RESOURCE_DIR "/usr/share/tallowick"
#endif

namespace tallowick {

namespace {

// SIGTERM and SIGINT end the main loop, so that the agent is shut down in order.
class TerminationSignals {
public:
    explicit TerminationSignals(platform::MainLoop& loop) {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGTERM);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGHUP);
        sigaddset(&m_set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
        m_thread = std::thread([this, &loop] {
            int signal = 0;
            sigwait(&m_set, &signal);
            if (signal != SIGUSR1)
                loop.quit();
        });
    }
    ~TerminationSignals() {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
    }

private:
    sigset_t m_set;
    std::thread m_thread;
};

} // namespace

int NSApplicationMain(int, char**) {
    const char* ui = std::getenv("TALLOWICK_UI");
    if (ui && *ui && std::string(ui) != "headless") {
        std::fprintf(stderr, "tallowick: unknown window set \"%s\" (TALLOWICK_UI=headless)\n", ui);
        return 2;
    }

    std::string error;
    std::optional<platform::FileSystem> fileSystem = platform::FileSystem::fromEnvironment(error);
    if (!fileSystem) {
        std::fprintf(stderr, "tallowick: refusing to start: %s\n", error.c_str());
        return 2;
    }

    platform::Log log(platform::makeSystemLogSink("Tallowick"));
    platform::HeadlessMainLoop loop;
    TerminationSignals signals(loop);
    platform::Trace trace = platform::Trace::fromEnvironment();
    platform::LockFileWorkspace workspace(*fileSystem);
    platform::EnvironmentUserDefaults userDefaults;
    const platform::Bundle bundle = platform::Bundle::fromEnvironment(TALLOWICK_RESOURCE_DIR);
    platform::DirectMessageChannel channel;
    platform::TerminalSound sound;
    const platform::Platform services{loop,         *fileSystem, log,     workspace,
                                      userDefaults, bundle,      channel, sound};

    platform::HeadlessWindowSet windows(loop, trace, [&loop] { loop.quit(); });

    // Loading the interface description creates the controller and connects it.
    std::unique_ptr<UpdateControl> controller = UpdateControl::init(services);
    controller->connectInterface(windows.windowSet());
    controller->awakeFromNib();
    controller->applicationWillFinishLaunching();

    platform::SocketMessageServer server(*fileSystem, loop, channel, log);
    if (!server.start(error)) {
        std::fprintf(stderr, "tallowick: %s\n", error.c_str());
        return 1;
    }
    trace.write("application ready socket=" + server.socketPath());

    // A scripted user, when one is named, acts on the windows as a person would; a step that
    // fails ends the program with exit code 3.
    std::atomic<bool> pilotFailed{false};
    std::unique_ptr<platform::Pilot> pilot;
    if (const char* script = std::getenv("TALLOWICK_PILOT"); script && *script) {
        pilot = std::make_unique<platform::Pilot>(
            script, loop, windows, trace, [&](const std::string& reason) {
                std::fprintf(stderr, "tallowick: %s\n", reason.c_str());
                pilotFailed = true;
                loop.quit();
            });
        pilot->start();
    }

    loop.run();

    if (pilot)
        pilot->stop();
    server.stop();
    controller.reset();
    return pilotFailed ? 3 : 0;
}

} // namespace tallowick
