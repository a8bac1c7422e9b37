#include "scale_recording.h"

#include "minor_keys.h"
#include "scale_rows.h"
#include "smf_writer.h"

#include <stdexcept>
#include <string>

namespace {

constexpr std::uint16_t TicksPerQuarter = 480;
constexpr std::uint32_t MicrosecondsPerQuarter = 600'000; // 100 beats per minute
constexpr int Channel = 0;
constexpr int AcousticGrandPiano = 0;
constexpr int Velocity = 90;
constexpr std::uint32_t Quarter = TicksPerQuarter;
constexpr std::uint32_t LastNote = 2 * TicksPerQuarter; // a half note rounds the scale off

// NoteNames runs along the line of fifths and holds "Lá" at NaturalKeyIndex; a fifth is seven
// semitones, so each step along the table adds seven to the pitch class.
constexpr int PitchClassOfA = 9;
constexpr int LowestTonic = 53; // F3

std::vector<int> columnsUp(std::int32_t keyIndex, ScaleForm form)
{
    std::vector<int> columns;
    for (const RowCell &cell : NoteRow(form, keyIndex))
        columns.push_back(cell.column);
    return columns;
}

} // namespace

int TonicMidiNote(std::int32_t keyIndex)
{
    if (!IsKeyIndex(keyIndex))
        throw std::out_of_range("TonicMidiNote: key index " + std::to_string(keyIndex)
                                + " is not a chosen key");
    const int fifths = keyIndex - NaturalKeyIndex;
    const int pitchClass = ((PitchClassOfA + 7 * fifths) % 12 + 12) % 12;
    // LowestTonic is an F; the twelve pitch classes from F upwards fill F3 to E4.
    return LowestTonic + (pitchClass - LowestTonic % 12 + 12) % 12;
}

std::vector<int> ScaleRecordingNotes(std::int32_t keyIndex, ScaleForm form)
{
    const int tonic = TonicMidiNote(keyIndex);
    const std::vector<int> up = columnsUp(keyIndex, form);
    const ScaleForm descending = form == ScaleForm::Melodica ? ScaleForm::Primitiva : form;
    const std::vector<int> down = columnsUp(keyIndex, descending);

    std::vector<int> notes;
    for (int column : up)
        notes.push_back(tonic + column);
    // The octave is the turning point and sounds once.
    for (auto column = down.rbegin() + 1; column != down.rend(); ++column)
        notes.push_back(tonic + *column);
    return notes;
}

std::vector<std::uint8_t> ScaleRecordingFile(std::int32_t keyIndex, ScaleForm form)
{
    const std::vector<int> notes = ScaleRecordingNotes(keyIndex, form);

    SmfWriter writer(TicksPerQuarter);
    writer.tempo(0, MicrosecondsPerQuarter);
    writer.programChange(0, Channel, AcousticGrandPiano);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const bool last = i + 1 == notes.size();
        writer.noteOn(0, Channel, notes[i], Velocity);
        writer.noteOff(last ? LastNote : Quarter, Channel, notes[i]);
    }
    return writer.file(0);
}
