// Start-up hooks and the message channel: decoding message events and dispatching them by
// "CMD_ID" to the controller's handlers.

#include <string_view>

#include "core/UpdateControl.h"

namespace tallowick {

namespace {

constexpr platform::FourCharCode kGURL = platform::fourCharCode("GURL");
constexpr platform::FourCharCode kUCMS = platform::fourCharCode("UCMS");

enum class KeyKind { String, Number };

struct KeyRule {
    std::string_view key;
    KeyKind kind;
};

// The keys each command reads and what their values must be. Numbers (integers, reals and
// booleans) may also come as strings, which read through Foundation's conversions.
constexpr KeyRule kUpdateKeys[] = {
    {"UI_Language", KeyKind::String},  {"OS", KeyKind::String},
    {"DEVICE_TYPE", KeyKind::String},  {"UI_VERSION", KeyKind::String},
    {"FW_VERSION", KeyKind::String},   {"UNSIGNED_ID", KeyKind::String},
    {"CLIENT_GROUP", KeyKind::String}, {"LANGUAGE", KeyKind::String},
    {"EXTERN_PARA", KeyKind::String},  {"UPDATE_MODE", KeyKind::Number},
    {"DEVICE_STATE", KeyKind::Number},
};
constexpr KeyRule kDeviceStateKeys[] = {{"DEVICE_STATE", KeyKind::Number},
                                        {"DEVICE_TYPE", KeyKind::String}};
constexpr KeyRule kProcessKeys[] = {{"UPDA_PROCESS", KeyKind::Number},
                                    {"UPDA_STATE", KeyKind::Number}};
constexpr KeyRule kResultKeys[] = {{"UPDA_RESULT", KeyKind::Number}};

template <std::size_t N>
const KeyRule* firstWrongValue(const plist::Dictionary& message, const KeyRule (&rules)[N]) {
    for (const auto& rule : rules) {
        const plist::Value* value = message.find(rule.key);
        if (!value)
            continue;
        const bool ok = rule.kind == KeyKind::String ? value->isString()
                                                     : (value->isNumber() || value->isString());
        if (!ok)
            return &rule;
    }
    return nullptr;
}

const KeyRule* firstWrongValue(const plist::Dictionary& message, int command) {
    switch (command) {
    case CMD_UPDATE:
        return firstWrongValue(message, kUpdateKeys);
    case CMD_DEVICE_STATE:
        return firstWrongValue(message, kDeviceStateKeys);
    case CMD_UE_PROCESS:
        return firstWrongValue(message, kProcessKeys);
    case CMD_UE_RESULT:
        return firstWrongValue(message, kResultKeys);
    default:
        return nullptr;
    }
}

} // namespace

void UpdateControl::awakeFromNib() {
    LoadLanguage(std::nullopt, 0);
    m_PackageListView->setAction([this] { clickcheck(m_PackageListView); });
}

void UpdateControl::applicationWillFinishLaunching() {
    m_platform.messageChannel.setEventHandler(
        kGURL, kGURL,
        [this](const platform::AppleEvent& event) { handleAppleEvent(event, nullptr); });
}

void UpdateControl::handleAppleEvent(const platform::AppleEvent& event, platform::AppleEvent*) {
    if (event.eventClass != kGURL || event.eventID != kGURL)
        return;

    const platform::AppleEventParameter* parameter = event.paramDescriptorForKeyword(kUCMS);
    if (!parameter) {
        m_platform.log.line("Message dropped: the event has no UCMS parameter");
        return;
    }
    const std::optional<plist::Value> parsed = plist::parseXml(parameter->data);
    if (!parsed || !parsed->isDictionary()) {
        m_platform.log.line("Message dropped: its data is not a property-list dictionary");
        return;
    }
    const plist::Dictionary& message = *parsed->asDictionary();

    const int command = message.intValue("CMD_ID");
    if (command < CMD_INIT || command > CMD_UE_RESULT)
        return;
    if (const KeyRule* wrong = firstWrongValue(message, command)) {
        m_platform.log.NSLog("Message dropped: the value of %.*s has the wrong type",
                             static_cast<int>(wrong->key.size()), wrong->key.data());
        return;
    }

    switch (command) {
    case CMD_INIT:
        m_platform.log.line("quorlan:Deal the Init message");
        handleInitMessage(message);
        break;
    case CMD_UPDATE:
        handleUpdateMessage(message);
        break;
    case CMD_DEVICE_STATE:
        handleDeviceStateMessage(message);
        break;
    case CMD_CLOSE_NET:
        handleCloseNetMessage(message);
        break;
    case CMD_CLOSE_UI:
        handleCloseUIMessage(message);
        break;
    case CMD_UE_PROCESS:
        handleUEProcessMessage(message);
        break;
    case CMD_UE_RESULT:
        handleUEResultMessage(message);
        break;
    default:
        break;
    }
}

void UpdateControl::handleCloseNetMessage(const plist::Dictionary&) {}

void UpdateControl::handleCloseUIMessage(const plist::Dictionary&) {}

void UpdateControl::handleUEProcessMessage(const plist::Dictionary& message) {
    const double fraction = message.doubleValue("UPDA_PROCESS");
    const int state = message.intValue("UPDA_STATE");
    UpdateUIProcess(fraction, state);
}

void UpdateControl::handleUEResultMessage(const plist::Dictionary& message) {
    UpdateUIResult(message.intValue("UPDA_RESULT"));
}

} // namespace tallowick
