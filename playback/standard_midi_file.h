// Whether a recording's bytes form a standard MIDI file that FluidSynth can play, judged from
// the bytes alone: the service asks this before handing a file to FluidSynth, and the fuzzer
// feeds it whatever it likes.
#pragma once

#include <span>

// A header FluidSynth can play (formats 0 to 2, ticks per quarter note) and as many track
// chunks as it announces, each within the file and made of well-formed events. Chunks of other
// kinds are skipped, and whatever follows the last track is ignored.
bool IsStandardMidiFile(std::span<const unsigned char> bytes);
