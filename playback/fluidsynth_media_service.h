// The media service on FluidSynth: each open recording gets a synthesizer and a MIDI player of
// its own, and one audio output mixes whatever plays. The output is opened at a play and closed
// soon after the last play ends, so an idle program runs no audio thread. The soundfont loads
// once, in the background once the event loop runs, so the window never waits for it, and every
// synthesizer plays from that one copy. End notices and the closing of the output go through
// the event loop of the thread that created the service.
#pragma once

#include "media_service.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class FluidSynthMediaService : public MediaService
{
public:
    // FluidSynth's own default (0.2) leaves a scale about 27 dB below full scale. At 1.0 one
    // recording peaks about 13 dB below it, and the three forms of a key started together in
    // step stay about 4 dB below it with FluidR3_GM (TimGM6mb is quieter).
    static constexpr double DefaultGain = 1.0;

    struct Options
    {
        // Soundfonts tried in order; the first that FluidSynth loads is used. Empty: the
        // system's General MIDI soundfont, as FluidSynth's synth.default-soundfont names it,
        // then /usr/share/sounds/sf2/default-GM.sf2, TimGM6mb.sf2 and FluidR3_GM.sf2.
        std::vector<std::string> soundFonts;
        // Audio drivers tried in order when a play needs the output; drivers this FluidSynth
        // was built without are skipped. None that opens: play gives NoAudioOutput.
        std::vector<std::string> audioDrivers{"pulseaudio", "pipewire", "alsa"};
        // Instead of an audio driver, a thread of the service renders into nothing (tests,
        // benchmarks). audioDrivers is then not used.
        bool offline = false;
        // How many times faster than real time the offline output runs (zero or less: as fast
        // as it can). Plays and their end notices come sooner; what is rendered is the same.
        double offlineSpeed = 1.0;
        // Receives every block the offline output renders, left and right, on its thread.
        std::function<void(std::span<const float> left, std::span<const float> right)> offlineSink;
        // How long the output stays open after the last play ended: plays in quick succession
        // reuse it, and an idle program runs no audio thread.
        std::chrono::milliseconds closeOutputAfter{2000};
        // The output level of each synthesizer (FluidSynth's synth.gain).
        double gain = DefaultGain;
    };

    // The desktop's setup: the system soundfont and the real audio drivers.
    FluidSynthMediaService();
    explicit FluidSynthMediaService(Options options);
    // Stops every sound and the service's threads. Notices not yet delivered are dropped.
    ~FluidSynthMediaService() override;

    FluidSynthMediaService(const FluidSynthMediaService &) = delete;
    FluidSynthMediaService &operator=(const FluidSynthMediaService &) = delete;

    MediaError open(const std::string &fileName, MediaDevice &device) override;
    // Silences the recording at once; a play in progress gets its end notice.
    MediaError close(MediaDevice device) override;
    // Waits for the soundfont only if it is still loading. A play of a recording that is
    // already playing carries on and takes the new notice; the earlier one is delivered.
    MediaError play(MediaDevice device, std::function<void()> endNotice) override;
    MediaMode mode(MediaDevice device) const override;
    std::int64_t position(MediaDevice device) const override;
    std::int64_t length(MediaDevice device) const override;
    // Stops a play in progress (its notice is delivered) and stands the recording at its start.
    MediaError seekToStart(MediaDevice device) override;
    bool canPlay(MediaDevice device) const override;
    std::optional<std::string> errorText(MediaError error,
                                         const std::string &fileName) const override;

    // What is in use, for diagnostics and measurements: the audio driver of the open output
    // ("offline" for the offline output; empty while none is open), and the soundfont loaded
    // (empty until one is, or when none can be).
    std::string audioDriver() const;
    std::string soundFont() const;
    bool isOutputOpen() const;
    // How long after the last play() call that started a play the output first rendered a
    // sample of it that is not silence; none while that has not happened yet.
    std::optional<std::chrono::nanoseconds> lastPlayLatency() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
