// How the UI thread copes with a flood of download reports from the agent's thread: the time
// until the last report is shown, and the worst lateness of a 1 ms timer on the UI thread
// meanwhile, next to the same number of empty posts.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "ControllerFixture.h"

using namespace tallowick;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kReports = 100000;

// A controller over the headless window set on the real clock, in the download state.
struct Rig : test::ControllerRig {
    Rig() : ControllerRig(platform::HeadlessMainLoop::Clock::Real) {
        startController();
        control->m_UpdateState = STATE_DOWNLOADING;
    }

    // Runs the loop until `done`, with a 1 ms timer measuring how late the loop lets it fire.
    double runMeasuringLag(const std::function<bool()>& done) {
        double worst = 0;
        auto last = Clock::now();
        auto timer = loop.scheduleTimer(0.001, true, [&](platform::Timer&) {
            const auto now = Clock::now();
            worst = std::max(worst, std::chrono::duration<double>(now - last).count() - 0.001);
            last = now;
        });
        loop.runUntil(done, 60);
        timer->invalidate();
        return worst;
    }
};

void BM_EmptyPosts(benchmark::State& state) {
    Rig rig;
    double worstLag = 0;
    for (auto _ : state) {
        std::atomic<int> ran{0};
        const auto start = Clock::now();
        std::thread producer([&] {
            for (int i = 0; i < kReports; ++i)
                rig.loop.post([&] { ran.fetch_add(1, std::memory_order_relaxed); });
        });
        worstLag = std::max(worstLag, rig.runMeasuringLag([&] { return ran.load() == kReports; }));
        producer.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["worst_timer_lag_ms"] = worstLag * 1000;
    state.SetItemsProcessed(state.iterations() * kReports);
}

// `distinctTexts`: every report carries its own text (a new line each), otherwise one text per
// package as the agent sends them.
void BM_DownloadProgressFlood(benchmark::State& state) {
    const bool distinctTexts = state.range(0) != 0;
    Rig rig;
    double worstLag = 0;
    std::vector<std::string> texts;
    for (int i = 0; i < kReports; ++i)
        texts.push_back(distinctTexts ? "chunk " + std::to_string(i)
                                      : std::string("Downloading FirmwareUpdatePackage.zip"));
    for (auto _ : state) {
        rig.control->m_ProcessViewList.clear();
        rig.windows.windowSet().m_ProcessBar->setDoubleValue(0);
        const auto start = Clock::now();
        std::thread producer([&] {
            CMUpdaterInterface* agent = fakeagent::registered();
            for (int i = 0; i < kReports; ++i)
                agent->DownloadProcess(texts[static_cast<std::size_t>(i)].data(), 1 + i % 100);
            char last[] = "last";
            agent->DownloadProcess(last, 100);
        });
        worstLag = std::max(worstLag, rig.runMeasuringLag([&] {
            return !rig.control->m_ProcessViewList.empty() &&
                   rig.control->m_ProcessViewList.back() == "last";
        }));
        producer.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["worst_timer_lag_ms"] = worstLag * 1000;
    state.counters["lines"] = static_cast<double>(rig.control->m_ProcessViewList.size());
    state.SetItemsProcessed(state.iterations() * kReports);
}

} // namespace

BENCHMARK(BM_EmptyPosts)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DownloadProgressFlood)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK_MAIN();
