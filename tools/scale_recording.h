// The recording of one form of the minor scale in one key, made from the same model as the
// grids so that what the student hears is what the grid shows: the form played up from the
// tonic to the octave and down again on a piano, in quarter notes, the last tonic held.
#pragma once

#include "scale_form.h"

#include <cstdint>
#include <vector>

// The tonic of a key as a MIDI note number, between F3 (53) and E4 (64) so that every key
// sits around middle C. Refuses a KeyIndex no key has with std::out_of_range.
int TonicMidiNote(std::int32_t keyIndex);

// The MIDI notes of the recording in playing order: the form's note row up from the tonic to
// the octave, then down to the tonic. The melodic form comes down as the natural form, as its
// grid's hint says. Refuses a KeyIndex no key has with std::out_of_range.
std::vector<int> ScaleRecordingNotes(std::int32_t keyIndex, ScaleForm form);

// The standard MIDI file of that recording.
std::vector<std::uint8_t> ScaleRecordingFile(std::int32_t keyIndex, ScaleForm form);
