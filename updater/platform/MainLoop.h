#pragma once
// The application main loop: the UI thread's queue of work and its timers.

#include <functional>
#include <memory>

namespace tallowick::platform {

// A scheduled timer, as NSTimer: it fires on the UI thread until it is invalidated
// (a one-shot timer invalidates itself after firing).
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
    virtual double interval() const = 0;
    virtual bool repeats() const = 0;
};

class MainLoop {
public:
    using Task = std::function<void()>;
    using TimerAction = std::function<void(Timer&)>;

    virtual ~MainLoop() = default;

    // Queues a task for the UI thread; callable from any thread. Tasks run in the order posted.
    virtual void post(Task task) = 0;
    // Starts a timer on the UI thread's clock; call on the UI thread.
    virtual std::shared_ptr<Timer> scheduleTimer(double seconds, bool repeats,
                                                 TimerAction action) = 0;
    // Seconds on the loop's clock (monotonic): the base of dates and elapsed times.
    virtual double now() const = 0;
    // True on the thread that runs the loop.
    virtual bool isUIThread() const = 0;
    // Runs until quit() is called.
    virtual void run() = 0;
    // Ends run(); callable from any thread.
    virtual void quit() = 0;
};

} // namespace tallowick::platform
