// Plays a MIDI file through FluidSynth's own file reader and player, offline and without a
// soundfont, and records what the player would send to a synthesizer. The recordings tests
// use it as an independent reader: a file passes only if FluidSynth itself understands it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

struct ReadbackEvent
{
    int type; // status without the channel: 0x90 note-on, 0x80 note-off, 0xC0 program
    int channel;
    int data1; // key or program
    int data2; // velocity (0 for a program change)
    int tick; // the player's position when it sent the event
    double seconds; // time since the start of the play, counted in rendered samples
};

struct Readback
{
    bool loaded = false; // false when FluidSynth refused the file
    std::vector<ReadbackEvent> events;
    int totalTicks = 0; // as FluidSynth computes the length of the file
    int microsecondsPerQuarter = 0; // the tempo the player ended with
};

// Renders the whole file faster than real time; no audio device is used.
Readback ReadBackWithFluidSynth(const std::filesystem::path &file);
