#include "fluidsynth_readback.h"

#include <array>
#include <fluidsynth.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using Settings = std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)>;
using Synth = std::unique_ptr<fluid_synth_t, decltype(&delete_fluid_synth)>;
using Player = std::unique_ptr<fluid_player_t, decltype(&delete_fluid_player)>;

// At this rate FluidSynth advances its player about every millisecond, more often than the
// recordings' ticks go by, so every event is sent at exactly its own tick.
constexpr int SampleRate = 96000;
constexpr int BlockFrames = 64;
// Far beyond any recording; ends the render if a file never finishes.
constexpr long LongestRender = 600L * SampleRate;

struct Recorder
{
    fluid_player_t *player = nullptr;
    Readback *readback = nullptr;
    long framesBefore = 0; // rendered before the block that is being rendered
};

int record(void *data, fluid_midi_event_t *event)
{
    auto *recorder = static_cast<Recorder *>(data);
    const int type = fluid_midi_event_get_type(event);
    if (type != 0x80 && type != 0x90 && type != 0xC0)
        return FLUID_OK;
    const int data1 =
        type == 0xC0 ? fluid_midi_event_get_program(event) : fluid_midi_event_get_key(event);
    const int data2 = type == 0xC0 ? 0 : fluid_midi_event_get_velocity(event);
    recorder->readback->events.push_back(
        {type, fluid_midi_event_get_channel(event), data1, data2,
         fluid_player_get_current_tick(recorder->player),
         static_cast<double>(recorder->framesBefore) / SampleRate});
    return FLUID_OK;
}

void require(bool ok, const char *what)
{
    if (!ok)
        throw std::runtime_error(std::string("FluidSynth readback: ") + what);
}

} // namespace

Readback ReadBackWithFluidSynth(const std::filesystem::path &file)
{
    Settings settings(new_fluid_settings(), &delete_fluid_settings);
    require(settings != nullptr, "no settings");
    require(fluid_settings_setnum(settings.get(), "synth.sample-rate", SampleRate) == FLUID_OK,
            "sample rate");
    require(fluid_settings_setint(settings.get(), "synth.reverb.active", 0) == FLUID_OK, "reverb");
    require(fluid_settings_setint(settings.get(), "synth.chorus.active", 0) == FLUID_OK, "chorus");
    Synth synth(new_fluid_synth(settings.get()), &delete_fluid_synth);
    require(synth != nullptr, "no synthesizer");
    Player player(new_fluid_player(synth.get()), &delete_fluid_player);
    require(player != nullptr, "no player");

    Readback readback;
    Recorder recorder{player.get(), &readback};
    require(fluid_player_set_playback_callback(player.get(), record, &recorder) == FLUID_OK,
            "callback");
    require(fluid_player_add(player.get(), file.c_str()) == FLUID_OK, "add");
    require(fluid_player_play(player.get()) == FLUID_OK, "play");

    std::array<float, BlockFrames> left{};
    std::array<float, BlockFrames> right{};
    // The file is read at the first block; a file FluidSynth refuses ends the play right there.
    for (long &frames = recorder.framesBefore; frames < LongestRender; frames += BlockFrames) {
        require(
            fluid_synth_write_float(synth.get(), BlockFrames, left.data(), 0, 1, right.data(), 0, 1)
                == FLUID_OK,
            "render");
        if (frames == 0) {
            readback.loaded = fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING;
            readback.totalTicks = fluid_player_get_total_ticks(player.get());
        }
        if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING)
            break;
    }
    readback.microsecondsPerQuarter = fluid_player_get_midi_tempo(player.get());
    return readback;
}
