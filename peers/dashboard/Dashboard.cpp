// The stand-in dashboard: announces itself as the running application "com.brenlo.USBMODEM"
// for as long as it runs, and sends the dashboard's message events to the updater.
//
//   dashboard update [--mode N] [--device TYPE] [--fw VERSION] [--ui VERSION] [--os TEXT]
//                    [--unsigned-id TEXT] [--client-group TEXT] [--language TEXT]
//                    [--extern-para TEXT] [--ui-language NAME] [--device-state true|false]
//   dashboard plug TYPE [--fw VERSION]      a modem of this type is present
//   dashboard unplug                        no modem is present
//   dashboard init | close-net | close-ui
//   dashboard run                           holds the running-application lock until killed
//
// Exit codes: 0 delivered (run: ended by a signal), 1 not delivered (run: another dashboard
// holds the lock), 2 usage.

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/MessageChannel.h"
#include "platform/Plist.h"
#include "platform/Workspace.h"
#include "platform/posix/SocketTransport.h"

using namespace tallowick;

namespace {

constexpr const char* kBundleIdentifier = "com.brenlo.USBMODEM";

enum Command {
    CMD_INIT = 1,
    CMD_UPDATE = 2,
    CMD_DEVICE_STATE = 3,
    CMD_CLOSE_NET = 4,
    CMD_CLOSE_UI = 5
};

int usage(const std::string& problem) {
    std::fprintf(
        stderr,
        "dashboard: %s\n"
        "usage: dashboard update [--mode N] [--device TYPE] [--fw VERSION] [--ui VERSION]\n"
        "                        [--os TEXT] [--unsigned-id TEXT] [--client-group TEXT]\n"
        "                        [--language TEXT] [--extern-para TEXT] [--ui-language NAME]\n"
        "                        [--device-state true|false]\n"
        "       dashboard plug TYPE [--fw VERSION]\n"
        "       dashboard unplug | init | close-net | close-ui | run\n",
        problem.c_str());
    return 2;
}

// The options a subcommand takes, each with its value.
using Options = std::map<std::string, std::string>;

bool readOptions(const std::vector<std::string_view>& args, std::size_t from,
                 const std::vector<std::string>& allowed, Options& out, std::string& problem) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string name(args[i]);
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
            problem = "unexpected argument \"" + name + "\"";
            return false;
        }
        if (i + 1 >= args.size()) {
            problem = name + " takes a value";
            return false;
        }
        out[name] = std::string(args[++i]);
    }
    return true;
}

std::optional<int> integer(const std::string& text) {
    int n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

std::optional<bool> boolean(const std::string& text) {
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    return std::nullopt;
}

// Builds the message of a sending subcommand; false with the problem on a usage error.
bool buildMessage(const std::vector<std::string_view>& args, plist::Dictionary& message,
                  std::string& problem) {
    const std::string_view command = args[0];
    Options o;
    if (command == "update") {
        if (!readOptions(args, 1,
                         {"--mode", "--device", "--fw", "--ui", "--os", "--unsigned-id",
                          "--client-group", "--language", "--extern-para", "--ui-language",
                          "--device-state"},
                         o, problem))
            return false;
        const auto value = [&o](const char* name, const char* fallback) {
            const auto it = o.find(name);
            return it == o.end() ? std::string(fallback) : it->second;
        };
        const auto mode = integer(value("--mode", "1"));
        if (!mode) {
            problem = "--mode takes an integer";
            return false;
        }
        message.set("CMD_ID", CMD_UPDATE);
        if (o.count("--ui-language"))
            message.set("UI_Language", o["--ui-language"]);
        message.set("OS", value("--os", "Mac OS X"));
        message.set("DEVICE_TYPE", value("--device", "QV230"));
        message.set("UI_VERSION", value("--ui", "16.001.06.00.00"));
        message.set("FW_VERSION", value("--fw", "21.100.00.00.00"));
        message.set("UNSIGNED_ID", value("--unsigned-id", "0123456789"));
        message.set("CLIENT_GROUP", value("--client-group", "default"));
        message.set("LANGUAGE", value("--language", "en"));
        message.set("EXTERN_PARA", value("--extern-para", ""));
        message.set("UPDATE_MODE", *mode);
        if (o.count("--device-state")) {
            const auto present = boolean(o["--device-state"]);
            if (!present) {
                problem = "--device-state takes true or false";
                return false;
            }
            message.set("DEVICE_STATE", *present);
        }
        return true;
    }
    if (command == "plug") {
        if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
            problem = "plug takes the modem's device type";
            return false;
        }
        if (!readOptions(args, 2, {"--fw"}, o, problem))
            return false;
        message.set("CMD_ID", CMD_DEVICE_STATE);
        message.set("DEVICE_STATE", true);
        message.set("DEVICE_TYPE", std::string(args[1]));
        if (o.count("--fw"))
            message.set("FW_VERSION", o["--fw"]);
        return true;
    }
    const std::map<std::string_view, int> plain = {{"unplug", CMD_DEVICE_STATE},
                                                   {"init", CMD_INIT},
                                                   {"close-net", CMD_CLOSE_NET},
                                                   {"close-ui", CMD_CLOSE_UI}};
    const auto it = plain.find(command);
    if (it == plain.end()) {
        problem = "unknown subcommand \"" + std::string(command) + "\"";
        return false;
    }
    if (args.size() > 1) {
        problem = std::string(command) + " takes no arguments";
        return false;
    }
    message.set("CMD_ID", it->second);
    if (command == "unplug")
        message.set("DEVICE_STATE", false);
    return true;
}

// Holds the lock until a terminating signal arrives.
int run(const platform::FileSystem& fs) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&signals, s);
    // Blocked before the lock is taken, so that a signal sent once "running" is printed is
    // never lost.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    platform::RunningApplicationLock lock(fs, kBundleIdentifier);
    if (!lock.held()) {
        std::fprintf(stderr, "dashboard: another dashboard holds %s\n", kBundleIdentifier);
        return 1;
    }
    std::printf("dashboard: running\n");
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("a subcommand is needed");
    if (args[0] == "--help" || args[0] == "-h") {
        usage("stands in for the dashboard");
        return 0;
    }
    plist::Dictionary message;
    std::string problem;
    if (args[0] == "run") {
        if (args.size() > 1)
            return usage("run takes no arguments");
    } else if (!buildMessage(args, message, problem)) {
        return usage(problem);
    }

    std::string error;
    const std::optional<platform::FileSystem> fs = platform::FileSystem::fromEnvironment(error);
    if (!fs)
        return usage(error);
    if (args[0] == "run")
        return run(*fs);

    // The dashboard runs while it sends. When another dashboard already holds the lock the
    // message goes all the same.
    const platform::RunningApplicationLock lock(*fs, kBundleIdentifier);
    if (!platform::sendMessageEvent(*fs, platform::makeMessageEvent(message), error)) {
        std::fprintf(stderr, "dashboard: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
