// From Play to the first sample out of the synthesizer that is not silence, as the service
// itself times it, with the offline output at real-time speed. The output renders blocks of
// 512 frames (11.6 ms), so a play waits for the next block as it would for a sound card's
// next period; a card's buffer then adds its own latency before the sample is heard.
#include "fluidsynth_media_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Lets the service's notices and timers run until the condition holds or the time is up. It
// naps between looks, so as not to take a core from the output on a small machine.
bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(100us);
    }
    return true;
}

// Plays the recording from its start and waits until it has sounded; none when it did not.
std::optional<std::chrono::nanoseconds> playUntilHeard(FluidSynthMediaService &service,
                                                       MediaDevice device)
{
    if (service.seekToStart(device) != MediaError::None
        || service.play(device, [] {}) != MediaError::None)
        return std::nullopt;
    if (!waitFor([&service] { return service.lastPlayLatency().has_value(); }, 5s))
        return std::nullopt;
    return service.lastPlayLatency();
}

// Argument 0: the output is still open from the play before, as when Play is pressed again
// within two seconds. Argument 1: it has closed, as after a pause, and opens for the play.
// The time is the mean; the counters give the median and the range of the plays.
void BM_PlayToFirstSound(benchmark::State &state)
{
    const bool outputClosed = state.range(0) == 1;
    FluidSynthMediaService::Options options;
    options.offline = true;
    options.closeOutputAfter = outputClosed ? 0ms : 60s;
    FluidSynthMediaService service(options);
    MediaDevice device = 0;
    // The first play waits for the soundfont, which loads in the background.
    if (service.open("Sol Harm.MID", device) != MediaError::None
        || !playUntilHeard(service, device)) {
        state.SkipWithError("Sol Harm.MID does not play");
        return;
    }
    // Play comes at any moment of the output's block, not just after one.
    std::minstd_rand random(1);
    std::uniform_int_distribution<int> pause(0, 12'000);
    std::vector<double> latencies;
    for (auto _ : state) {
        if (outputClosed) {
            service.seekToStart(device);
            waitFor([&service] { return !service.isOutputOpen(); }, 5s);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        const auto latency = playUntilHeard(service, device);
        if (!latency) {
            state.SkipWithError("the play was not heard");
            return;
        }
        latencies.push_back(std::chrono::duration<double>(*latency).count());
        state.SetIterationTime(latencies.back());
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2] * 1e3;
    state.counters["min_ms"] = latencies.front() * 1e3;
    state.counters["max_ms"] = latencies.back() * 1e3;
}
BENCHMARK(BM_PlayToFirstSound)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);

} // namespace
