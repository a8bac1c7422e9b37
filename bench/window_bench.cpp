// The window's handlers end to end, with the real FluidSynth service and no audio output.
#include "fluidsynth_media_service.h"
#include "main_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

namespace {

FluidSynthMediaService::Options silentService()
{
    FluidSynthMediaService::Options options;
    options.audioDrivers.clear();
    return options;
}

// As an idle event loop would: it sleeps between events rather than take a core from the
// soundfont loading in the background.
void letEventsRun(std::chrono::milliseconds howLong)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < howLong.count()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A key change writes 24 cells and reopens three recordings.
void BM_KeyChange(benchmark::State &state)
{
    FluidSynthMediaService service(silentService());
    TForm1 window(service);
    window.FormCreate();
    int position = 0;
    for (auto _ : state) {
        window.ComboBox1Change(position);
        position = (position + 1) % 15;
    }
}
BENCHMARK(BM_KeyChange)->Unit(benchmark::kMicrosecond);

// The first key change of a run, made half a second after the window appeared: what a user
// feels when choosing the first key.
void BM_FirstKeyChange(benchmark::State &state)
{
    for (auto _ : state) {
        FluidSynthMediaService service(silentService());
        TForm1 window(service);
        window.FormCreate();
        window.show();
        letEventsRun(std::chrono::milliseconds(500));
        const auto start = std::chrono::steady_clock::now();
        window.ComboBox1Change(1);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_FirstKeyChange)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

void BM_HeaderToggle(benchmark::State &state)
{
    FluidSynthMediaService service(silentService());
    TForm1 window(service);
    window.FormCreate();
    for (auto _ : state)
        window.StringGrid2Click();
}
BENCHMARK(BM_HeaderToggle);

void BM_OpenAndCloseRecording(benchmark::State &state)
{
    FluidSynthMediaService service(silentService());
    for (auto _ : state) {
        MediaDevice device = 0;
        if (service.open("Sol Harm.MID", device) != MediaError::None) {
            state.SkipWithError("cannot open Sol Harm.MID");
            break;
        }
        service.close(device);
    }
}
BENCHMARK(BM_OpenAndCloseRecording)->Unit(benchmark::kMicrosecond);

} // namespace
