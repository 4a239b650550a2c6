#include <gtest/gtest.h>

#include "ControllerFixture.h"

using namespace tallowick;
using namespace tallowick::test;
using tallowick::plist::Dictionary;
using tallowick::plist::Value;

namespace {

class MessageChannelTest : public ControllerFixture {
protected:
    MessageChannelTest() {
        startController();
        logSink->clear();
        fakeagent::reset();
    }

    platform::AppleEvent eventWith(const std::string& data, const char* cls = "GURL",
                                   const char* id = "GURL") {
        platform::AppleEvent e;
        e.eventClass = *platform::fourCharCode(std::string_view(cls));
        e.eventID = *platform::fourCharCode(std::string_view(id));
        e.parameters.push_back({platform::fourCharCode("UCMS"), 0, data});
        return e;
    }
};

} // namespace

TEST_F(MessageChannelTest, DispatchesByCommandNumberAndDropsOthersSilently) {
    struct Case {
        Value cmd;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {Value(1), {"quorlan:Deal the Init message", "Init Command"}},
        {Value("1"), {"quorlan:Deal the Init message", "Init Command"}},
        {Value(2), {"Update Command"}},
        {Value("2"), {"Update Command"}},
        {Value(3), {"Device State Command"}},
        {Value(4), {}},
        {Value(5), {}},
        {Value(0), {}},
        {Value(8), {}},
        {Value(-1), {}},
        {Value("two"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cmd.stringValue());
        logSink->clear();
        send(Dictionary{{"CMD_ID", c.cmd}});
        EXPECT_EQ(logSink->lines(), c.log);
        control->ResetUpdateProcess();
    }
    logSink->clear();
    send(Dictionary{{"OS", "no command"}});
    EXPECT_TRUE(logSink->lines().empty());
}

TEST_F(MessageChannelTest, InitReinitialisesTheAgentInAnyState) {
    control->m_UpdateState = STATE_DOWNLOADING;
    send(Dictionary{{"CMD_ID", 1}});
    EXPECT_EQ(fakeagent::calls(), std::vector<std::string>{"Init"});
    EXPECT_EQ(control->m_UpdateState, STATE_DOWNLOADING);
}

TEST_F(MessageChannelTest, ReadsNumbersAndBooleansByTheReadingRules) {
    struct Case {
        const char* name;
        Value mode;
        Value deviceState;
        bool waitOpens;
        bool haveDevice;
    };
    const Case cases[] = {
        {"integer", Value(1), Value(true), true, true},
        {"numeric string", Value("1"), Value(false), true, false},
        {"real", Value(1.0), Value(2), true, true},
        {"boolean as mode", Value(true), Value(0), true, false},
        {"mode 0", Value(0), Value("YES"), false, true},
        {"missing mode", Value(), Value(1.5), false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        control->m_UpdateState = STATE_IDLE;
        windows.window("m_WaitWnd")->orderOut();
        Dictionary message = updateMessage(0);
        message.erase("UPDATE_MODE");
        if (!c.mode.isNull())
            message.set("UPDATE_MODE", c.mode);
        message.set("DEVICE_STATE", c.deviceState);
        send(message);
        EXPECT_EQ(windows.window("m_WaitWnd")->isVisible(), c.waitOpens);
        EXPECT_EQ(control->m_haveDevice, c.haveDevice);
    }
}

TEST_F(MessageChannelTest, DropsEventsThatAreNotUsableMessagesWithALogLine) {
    const Dictionary init{{"CMD_ID", 1}};
    const std::string good = plist::toXml(Value(init));
    struct Case {
        const char* name;
        platform::AppleEvent event;
        bool logged;
    };
    platform::AppleEvent noParameter = eventWith(good);
    noParameter.parameters.clear();
    const Case cases[] = {
        {"other event ID", eventWith(good, "GURL", "GURX"), false},
        {"other event class", eventWith(good, "XURL", "GURL"), false},
        {"no UCMS parameter", noParameter, true},
        {"not a property list", eventWith("hello"), true},
        {"an array, not a dictionary", eventWith(plist::toXml(Value(plist::Array{Value(1)}))),
         true},
        {"truncated XML", eventWith(good.substr(0, good.size() / 2)), true},
        {"a binary property list", eventWith(std::string("bplist00") + std::string(40, '\0')),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logSink->clear();
        control->handleAppleEvent(c.event, nullptr);
        EXPECT_EQ(logSink->lines().size(), c.logged ? 1u : 0u);
        EXPECT_FALSE(logSink->contains("Init Command"));
    }
    // The next good message is handled as usual.
    control->handleAppleEvent(eventWith(good), nullptr);
    EXPECT_TRUE(logSink->contains("Init Command"));
}

TEST_F(MessageChannelTest, DropsMessagesWithValuesOfTheWrongType) {
    struct Case {
        const char* key;
        Value value;
    };
    const Case cases[] = {
        {"OS", Value(42)},
        {"DEVICE_TYPE", Value(plist::Array{})},
        {"UI_Language", Value(true)},
        {"UPDATE_MODE", Value(Dictionary{})},
        {"DEVICE_STATE", Value(plist::Data{})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        logSink->clear();
        Dictionary message = updateMessage(1);
        message.set(c.key, c.value);
        send(message);
        EXPECT_EQ(control->m_UpdateState, STATE_IDLE);
        EXPECT_FALSE(windows.window("m_WaitWnd")->isVisible());
        EXPECT_EQ(logSink->lines(),
                  std::vector<std::string>{"Message dropped: the value of " + std::string(c.key) +
                                           " has the wrong type"});
    }
    EXPECT_TRUE(fakeagent::updateCalls().empty());
}

TEST_F(MessageChannelTest, TwoMessagesAreHandledInTheOrderSent) {
    channel.deliver(platform::makeMessageEvent(updateMessage(1)));
    channel.deliver(platform::makeMessageEvent(Dictionary{{"CMD_ID", 1}}));
    EXPECT_EQ(logSink->lines(),
              (std::vector<std::string>{"Update Command", "quorlan:Deal the Init message",
                                        "Init Command"}));
}
