#include <gtest/gtest.h>

#include <thread>

#include "platform/headless/HeadlessMainLoop.h"

using tallowick::platform::HeadlessMainLoop;
using tallowick::platform::Timer;

TEST(MainLoop, TasksPostedFromOtherThreadsRunOnTheLoopInOrder) {
    HeadlessMainLoop loop(HeadlessMainLoop::Clock::Virtual);
    std::vector<int> seen;
    bool allOnUI = true;
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i)
            loop.post([&, i] {
                allOnUI = allOnUI && loop.isUIThread();
                seen.push_back(i);
            });
    });
    producer.join();
    EXPECT_TRUE(seen.empty()); // nothing runs off the loop
    loop.runPending();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnUI);
}

TEST(MainLoop, VirtualClockFiresTimersInOrderUntilInvalidated) {
    HeadlessMainLoop loop(HeadlessMainLoop::Clock::Virtual);
    std::vector<std::string> fired;
    auto repeating = loop.scheduleTimer(1.0, true, [&](Timer&) {
        fired.push_back("tick@" + std::to_string(static_cast<int>(loop.now())));
    });
    loop.scheduleTimer(2.5, false, [&](Timer&) { fired.push_back("once"); });
    loop.advance(0.5);
    EXPECT_TRUE(fired.empty());
    loop.advance(3.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"tick@1", "tick@2", "once", "tick@3"}));
    EXPECT_EQ(loop.validTimerCount(), 1u);
    repeating->invalidate();
    loop.advance(10);
    EXPECT_EQ(fired.size(), 4u);
    EXPECT_EQ(loop.validTimerCount(), 0u);
}

TEST(MainLoop, ATimerCanInvalidateItselfFromItsAction) {
    HeadlessMainLoop loop(HeadlessMainLoop::Clock::Virtual);
    int count = 0;
    loop.scheduleTimer(1.0, true, [&](Timer& t) {
        if (++count == 3)
            t.invalidate();
    });
    loop.advance(10);
    EXPECT_EQ(count, 3);
}

TEST(MainLoop, RealLoopRunsTimersAndEndsOnQuitFromAnotherThread) {
    HeadlessMainLoop loop;
    int ticks = 0;
    std::thread quitter;
    loop.scheduleTimer(0.01, true, [&](Timer&) {
        if (++ticks == 3)
            quitter = std::thread([&] { loop.quit(); });
    });
    loop.run();
    quitter.join();
    EXPECT_GE(ticks, 3);
}
