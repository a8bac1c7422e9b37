// A student holding the arrow keys: 2000 key changes, each while all three forms sound, then
// the window closed while they still sound. No error, no hang, no memory that keeps growing,
// and silence once the window is gone.
#include "block_peak.h"
#include "fluidsynth_media_service.h"
#include "key_combo_box.h"
#include "main_window.h"
#include "media_player.h"
#include "scratch_recordings.h"
#include "watchdog.h"
#include "window_fixture.h"

#include <QTest>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using State = MediaPlayer::State;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer keeps freed memory in quarantine, so resident memory says nothing about leaks
// there; its leak check at exit does that job instead.
constexpr bool MemoryIsMeaningful = false;
#else
constexpr bool MemoryIsMeaningful = true;
#endif

constexpr int KeyChanges = 2000;
constexpr int SettledAfter = 100;
constexpr long AllowedGrowthKiB = 5 * 1024;
constexpr int LastPosition = 14;

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

// What the offline output renders: how many blocks, and how loud the latest one was.
struct Output
{
    std::atomic<long> blocks{0};
    std::atomic<float> latestPeak{0};
};

// Delivers posted events until the condition holds; a bound on the wait, not a judgement of
// how long it took.
bool WaitUntil(const std::function<bool()> &condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        Settle();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(Stress, TwoThousandKeyChangesWhileAllThreeSoundThenCloseInSilence)
{
    const ScratchRecordings scratch;
    auto output = std::make_shared<Output>();
    FluidSynthMediaService::Options options;
    options.soundFonts = {QUARVELO_TEST_SOUNDFONT};
    options.offline = true; // in real time, so every recording still sounds at the next change
    options.closeOutputAfter = 1h; // keep rendering after the close, to hear that nothing is left
    options.offlineSink = [output](std::span<const float> left, std::span<const float> right) {
        output->latestPeak = BlockPeak(left, right);
        ++output->blocks;
    };
    FluidSynthMediaService service(options);
    auto window = std::make_unique<TForm1>(service);
    Form1 = window.get();
    window->FormCreate();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::array<MediaPlayer *, 3> players{window->MediaPlayer1, window->MediaPlayer2,
                                               window->MediaPlayer3};

    long residentAfterFirst = 0;
    {
        const Watchdog watchdog("2000 key changes", 900s);
        int position = -1;
        int direction = 1;
        for (int change = 1; change <= KeyChanges; ++change) {
            // Down to the end of the list, then Up to its start, and again.
            if (position + direction < 0 || position + direction > LastPosition)
                direction = -direction;
            position += direction;
            window->ComboBox1->setFocus();
            QTest::keyClick(window->ComboBox1, direction > 0 ? Qt::Key_Down : Qt::Key_Up);
            Settle();
            ASSERT_EQ(window->ComboBox1->currentIndex(), position) << "change " << change;
            for (MediaPlayer *player : players) {
                ASSERT_EQ(player->state(), State::Ready) << "change " << change;
                QTest::mouseClick(player, Qt::LeftButton);
            }
            Settle();
            for (MediaPlayer *player : players)
                ASSERT_EQ(player->state(), State::Playing) << "change " << change;
            if (change == SettledAfter)
                residentAfterFirst = ResidentKiB();
        }
    }
    const long residentAfterAll = ResidentKiB();
    std::printf("measured: resident memory %ld KiB after %d key changes, %ld KiB after %d\n",
                residentAfterFirst, SettledAfter, residentAfterAll, KeyChanges);
    if (MemoryIsMeaningful) {
        EXPECT_LE(residentAfterAll - residentAfterFirst, AllowedGrowthKiB);
    }

    ASSERT_TRUE(WaitUntil([&] { return output->latestPeak > 0.01f; })) << "the three sound";
    {
        const Watchdog watchdog("closing the window while all three play", 60s);
        window.reset(); // as at the end of the program: each player closes its recording
        Settle();
    }
    // The block being rendered during the close may still carry sound; the ones after it not.
    const long closedAt = output->blocks;
    ASSERT_TRUE(WaitUntil([&] { return output->blocks >= closedAt + 2; }));
    EXPECT_EQ(output->latestPeak, 0.0f);
}

} // namespace
