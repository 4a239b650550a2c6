#pragma once
// The headless main loop: a task queue (condition variable) and a timer heap, on a real
// monotonic clock or on a virtual clock that only advance() moves.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "platform/MainLoop.h"

namespace tallowick::platform {

class HeadlessMainLoop : public MainLoop {
public:
    enum class Clock { Real, Virtual };

    explicit HeadlessMainLoop(Clock clock = Clock::Real);
    ~HeadlessMainLoop() override;

    void post(Task task) override;
    std::shared_ptr<Timer> scheduleTimer(double seconds, bool repeats, TimerAction action) override;
    double now() const override;
    bool isUIThread() const override;
    void run() override;
    void quit() override;

    // Runs the tasks posted so far (and those they post) and fires due timers. Returns the
    // number of tasks and timer firings run.
    std::size_t runPending();
    // Virtual clock: moves the clock forward, firing due timers in their order and running the
    // tasks posted in between.
    void advance(double seconds);
    // Runs tasks as they arrive until `done` answers true or the real-time limit passes.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds);
    // Timers that are still valid.
    std::size_t validTimerCount() const;
    // Makes the calling thread the UI thread (the constructing thread is, to begin with).
    void bindToCurrentThread();
    bool quitRequested() const { return m_quit.load(); }

private:
    class HeapTimer;
    struct Due {
        double at;
        std::uint64_t seq;
        std::shared_ptr<HeapTimer> timer;
        bool operator>(const Due& o) const { return at != o.at ? at > o.at : seq > o.seq; }
    };

    bool runOneTask();
    bool fireOneDueTimer(double until);
    double nextTimerDue() const;

    const Clock m_clock;
    const std::chrono::steady_clock::time_point m_start;
    double m_virtualNow = 0;
    std::atomic<std::thread::id> m_uiThread;
    std::atomic<bool> m_quit{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;

    // UI thread only.
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> m_timers;
    std::vector<std::weak_ptr<HeapTimer>> m_allTimers;
    std::uint64_t m_seq = 0;
};

} // namespace tallowick::platform
