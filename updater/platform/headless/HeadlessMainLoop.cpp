#include "platform/headless/HeadlessMainLoop.h"

#include <algorithm>
#include <cmath>

namespace tallowick::platform {

class HeadlessMainLoop::HeapTimer : public Timer {
public:
    HeapTimer(double interval, bool repeats, TimerAction action)
        : m_interval(interval), m_repeats(repeats), m_action(std::move(action)) {}
    void invalidate() override {
        m_valid = false;
        m_action = nullptr; // drop what the action holds, as NSTimer releases its target
    }
    bool isValid() const override { return m_valid; }
    double interval() const override { return m_interval; }
    bool repeats() const override { return m_repeats; }

    void fire() {
        if (!m_valid)
            return;
        TimerAction action = m_action; // the action may invalidate this timer
        if (!m_repeats)
            invalidate();
        if (action)
            action(*this);
    }

private:
    double m_interval;
    bool m_repeats;
    TimerAction m_action;
    bool m_valid = true;
};

HeadlessMainLoop::HeadlessMainLoop(Clock clock)
    : m_clock(clock), m_start(std::chrono::steady_clock::now()),
      m_uiThread(std::this_thread::get_id()) {}

HeadlessMainLoop::~HeadlessMainLoop() = default;

void HeadlessMainLoop::post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

std::shared_ptr<Timer> HeadlessMainLoop::scheduleTimer(double seconds, bool repeats,
                                                       TimerAction action) {
    // NSTimer takes a non-positive interval as 0.1 ms.
    const double interval = seconds > 0 ? seconds : 0.0001;
    auto timer = std::make_shared<HeapTimer>(interval, repeats, std::move(action));
    m_timers.push(Due{now() + interval, m_seq++, timer});
    if (m_allTimers.size() > 64)
        std::erase_if(m_allTimers, [](const std::weak_ptr<HeapTimer>& w) { return w.expired(); });
    m_allTimers.push_back(timer);
    m_wake.notify_one();
    return timer;
}

double HeadlessMainLoop::now() const {
    if (m_clock == Clock::Virtual)
        return m_virtualNow;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

bool HeadlessMainLoop::isUIThread() const {
    return std::this_thread::get_id() == m_uiThread.load();
}

void HeadlessMainLoop::bindToCurrentThread() {
    m_uiThread = std::this_thread::get_id();
}

bool HeadlessMainLoop::runOneTask() {
    Task task;
    {
        std::lock_guard lock(m_mutex);
        if (m_tasks.empty())
            return false;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
    }
    task();
    return true;
}

double HeadlessMainLoop::nextTimerDue() const {
    return m_timers.empty() ? INFINITY : m_timers.top().at;
}

bool HeadlessMainLoop::fireOneDueTimer(double until) {
    while (!m_timers.empty()) {
        Due due = m_timers.top();
        if (!due.timer->isValid()) {
            m_timers.pop();
            continue;
        }
        if (due.at > until)
            return false;
        m_timers.pop();
        if (due.timer->repeats()) {
            // The next firing keeps the timer's own schedule; missed firings are skipped.
            double next = due.at + due.timer->interval();
            if (next <= until && m_clock == Clock::Real)
                next = until + due.timer->interval();
            m_timers.push(Due{next, m_seq++, due.timer});
        }
        if (m_clock == Clock::Virtual)
            m_virtualNow = std::max(m_virtualNow, due.at);
        due.timer->fire();
        return true;
    }
    return false;
}

std::size_t HeadlessMainLoop::runPending() {
    std::size_t ran = 0;
    for (;;) {
        // One round runs the tasks queued when it began, then the timers that are due, so
        // that tasks posted without pause never keep the timers waiting.
        std::size_t queued;
        {
            std::lock_guard lock(m_mutex);
            queued = m_tasks.size();
        }
        bool any = false;
        for (; queued > 0 && runOneTask(); --queued) {
            ++ran;
            any = true;
        }
        while (fireOneDueTimer(now())) {
            ++ran;
            any = true;
        }
        if (!any)
            return ran;
    }
}

void HeadlessMainLoop::advance(double seconds) {
    const double target = m_virtualNow + seconds;
    runPending();
    while (fireOneDueTimer(target))
        runPending();
    m_virtualNow = target;
    runPending();
}

bool HeadlessMainLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    for (;;) {
        runPending();
        if (done())
            return true;
        std::unique_lock lock(m_mutex);
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        auto wakeAt = deadline;
        if (m_clock == Clock::Real && !m_timers.empty()) {
            const auto due =
                m_start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(nextTimerDue()));
            wakeAt = std::min(wakeAt, due);
        }
        m_wake.wait_until(lock, wakeAt, [&] { return !m_tasks.empty(); });
    }
}

void HeadlessMainLoop::run() {
    bindToCurrentThread();
    while (!m_quit.load()) {
        runPending();
        std::unique_lock lock(m_mutex);
        if (m_quit.load())
            break;
        if (!m_tasks.empty())
            continue;
        const double due = m_clock == Clock::Real ? nextTimerDue() : INFINITY;
        if (std::isinf(due)) {
            m_wake.wait(lock, [&] { return !m_tasks.empty() || m_quit.load(); });
        } else {
            const auto at =
                m_start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(due));
            m_wake.wait_until(lock, at, [&] { return !m_tasks.empty() || m_quit.load(); });
        }
    }
}

void HeadlessMainLoop::quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

std::size_t HeadlessMainLoop::validTimerCount() const {
    return static_cast<std::size_t>(std::count_if(m_allTimers.begin(), m_allTimers.end(),
                                                  [](const std::weak_ptr<HeapTimer>& w) {
                                                      auto t = w.lock();
                                                      return t && t->isValid();
                                                  }));
}

} // namespace tallowick::platform
