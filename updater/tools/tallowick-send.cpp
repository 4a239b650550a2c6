// Sends one message event to a running tallowick, through the same root mapping.
//
//   tallowick-send [--class CODE] [--id CODE] [--plist FILE] [--data FILE] [KEY=VALUE]...
//
// KEY=VALUE gives a string value; KEY:int=N, KEY:real=X and KEY:bool=true|false give typed
// ones. --plist FILE starts from the dictionary in FILE; --data FILE sends FILE's bytes
// unchanged as the message data. Exit codes: 0 delivered, 1 not delivered, 2 usage.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/MessageChannel.h"
#include "platform/Plist.h"
#include "platform/posix/SocketTransport.h"

using namespace tallowick;

namespace {

int usage(const std::string& problem) {
    std::fprintf(
        stderr,
        "tallowick-send: %s\n"
        "usage: tallowick-send [--class CODE] [--id CODE] [--plist FILE] [--data FILE]\n"
        "                      [KEY=VALUE | KEY:int=N | KEY:real=X | KEY:bool=true|false]...\n",
        problem.c_str());
    return 2;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

// Parses one KEY[:type]=VALUE argument into the dictionary.
bool addArgument(std::string_view arg, plist::Dictionary& message, std::string& problem) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        problem = "expected KEY=VALUE, got \"" + std::string(arg) + "\"";
        return false;
    }
    std::string_view key = arg.substr(0, eq);
    const std::string_view value = arg.substr(eq + 1);
    std::string_view type = "string";
    if (const std::size_t colon = key.rfind(':'); colon != std::string_view::npos) {
        type = key.substr(colon + 1);
        key = key.substr(0, colon);
    }
    if (type == "string") {
        message.set(std::string(key), std::string(value));
    } else if (type == "int") {
        std::int64_t n = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end != value.data() + value.size()) {
            problem = "not an integer: \"" + std::string(value) + "\"";
            return false;
        }
        message.set(std::string(key), n);
    } else if (type == "real") {
        const std::string text(value);
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0') {
            problem = "not a real number: \"" + text + "\"";
            return false;
        }
        message.set(std::string(key), d);
    } else if (type == "bool") {
        if (value != "true" && value != "false") {
            problem = "a boolean is true or false, not \"" + std::string(value) + "\"";
            return false;
        }
        message.set(std::string(key), value == "true");
    } else {
        problem = "unknown type \"" + std::string(type) + "\" (int, real, bool)";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    plist::Dictionary message;
    std::optional<std::string> rawData;
    std::string eventClass = "GURL", eventID = "GURL";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto next = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string problem;
        if (arg == "--class" || arg == "--id") {
            std::string code;
            if (!next(code) || code.size() != 4)
                return usage(std::string(arg) + " takes a code of four characters");
            (arg == "--class" ? eventClass : eventID) = code;
        } else if (arg == "--plist") {
            std::string path, bytes;
            if (!next(path) || !readFile(path, bytes))
                return usage("cannot read the --plist file");
            auto value = plist::parse(bytes);
            if (!value || !value->isDictionary())
                return usage("the --plist file does not hold a dictionary");
            for (const auto& [key, item] : *value->asDictionary())
                message.set(key, item);
        } else if (arg == "--data") {
            std::string path, bytes;
            if (!next(path) || !readFile(path, bytes))
                return usage("cannot read the --data file");
            rawData = std::move(bytes);
        } else if (arg == "--help" || arg == "-h") {
            usage("sends one message event");
            return 0;
        } else if (!addArgument(arg, message, problem)) {
            return usage(problem);
        }
    }

    std::string error;
    std::optional<platform::FileSystem> fs = platform::FileSystem::fromEnvironment(error);
    if (!fs)
        return usage(error);

    platform::AppleEvent event = platform::makeMessageEvent(message);
    event.eventClass = *platform::fourCharCode(eventClass);
    event.eventID = *platform::fourCharCode(eventID);
    if (rawData)
        event.parameters.front().data = *rawData;

    if (!platform::sendMessageEvent(*fs, event, error)) {
        std::fprintf(stderr, "tallowick-send: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
