// The 45 scale recordings: their names, and what FluidSynth hears in each of them, checked
// against the grids' note rows and against the spelling of each note.
#include "fluidsynth_readback.h"
#include "minor_keys.h"
#include "note_spelling.h"
#include "recording_names.h"
#include "scale_form.h"
#include "scale_recording.h"
#include "scale_rows.h"
#include "smf_writer.h"
#include "write_scale_recordings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

// A folder of fresh recordings shared by the tests of this file.
class GeneratedRecordings
{
public:
    static const fs::path &folder()
    {
        static const GeneratedRecordings instance;
        return instance.folder_;
    }

private:
    GeneratedRecordings()
    {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("quarvelo-recordings-" + std::to_string(random()));
        names_ = WriteScaleRecordings(folder_);
    }
    ~GeneratedRecordings() { fs::remove_all(folder_); }

    fs::path folder_;
    std::vector<std::string> names_;
};

std::vector<char> bytesOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Recording
{
    std::int32_t keyIndex;
    ScaleForm form;
};

void PrintTo(const Recording &recording, std::ostream *out)
{
    *out << *RecordingName(recording.keyIndex, recording.form);
}

std::vector<Recording> allRecordings()
{
    std::vector<Recording> recordings;
    for (std::int32_t key = LowestKeyIndex; key <= HighestKeyIndex; ++key)
        for (ScaleForm form : ScaleForms)
            recordings.push_back({key, form});
    return recordings;
}

std::string recordingLabel(const testing::TestParamInfo<Recording> &info)
{
    std::string name = *RecordingName(info.param.keyIndex, info.param.form);
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class EachRecording : public testing::TestWithParam<Recording>
{
protected:
    static std::vector<ReadbackEvent> ofType(const Readback &readback, int type)
    {
        std::vector<ReadbackEvent> events;
        std::copy_if(readback.events.begin(), readback.events.end(), std::back_inserter(events),
                     [type](const ReadbackEvent &event) {
                         return event.type == type && (type != 0x90 || event.data2 > 0);
                     });
        return events;
    }
};

TEST_P(EachRecording, PlaysTheGridsNotesUpAndDownAroundMiddleC)
{
    const auto [keyIndex, form] = GetParam();
    const Readback readback =
        ReadBackWithFluidSynth(GeneratedRecordings::folder() / *RecordingName(keyIndex, form));
    ASSERT_TRUE(readback.loaded);

    // Up along the form's own row, down along the natural row for the melodic form.
    const ScaleRow up = NoteRow(form, keyIndex);
    const ScaleRow down =
        NoteRow(form == ScaleForm::Melodica ? ScaleForm::Primitiva : form, keyIndex);
    std::vector<RowCell> expected(up.begin(), up.end());
    expected.insert(expected.end(), down.rbegin() + 1, down.rend());

    const std::vector<ReadbackEvent> notes = ofType(readback, 0x90);
    ASSERT_EQ(notes.size(), expected.size());
    const int tonic = notes.front().data1;
    EXPECT_GE(tonic, 53) << "tonic below F3";
    EXPECT_LE(tonic, 64) << "tonic above E4";
    for (std::size_t i = 0; i < notes.size(); ++i) {
        SCOPED_TRACE("note " + std::to_string(i) + ", " + std::string(expected[i].text));
        EXPECT_EQ(notes[i].data1, tonic + expected[i].column);
        EXPECT_EQ(notes[i].data1 % 12, SpellNote(expected[i].text).pitchClass);
        EXPECT_EQ(notes[i].channel, 0);
    }
}

TEST_P(EachRecording, IsAPianoInQuarterNotesAtOneHundredBeatsAMinute)
{
    const auto [keyIndex, form] = GetParam();
    const Readback readback =
        ReadBackWithFluidSynth(GeneratedRecordings::folder() / *RecordingName(keyIndex, form));
    ASSERT_TRUE(readback.loaded);

    const std::vector<ReadbackEvent> programs = ofType(readback, 0xC0);
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs.front().data1, 0) << "acoustic grand piano";
    EXPECT_EQ(readback.events.front().type, 0xC0) << "the piano is chosen before the first note";
    EXPECT_EQ(readback.microsecondsPerQuarter, 600'000);

    const std::vector<ReadbackEvent> ons = ofType(readback, 0x90);
    const std::vector<ReadbackEvent> offs = ofType(readback, 0x80);
    ASSERT_EQ(offs.size(), ons.size());
    ASSERT_FALSE(ons.empty());
    constexpr double QuarterSeconds = 0.6;
    constexpr double Tolerance = 0.005; // the player advances about once a millisecond
    for (std::size_t i = 0; i < ons.size(); ++i) {
        SCOPED_TRACE("note " + std::to_string(i));
        EXPECT_EQ(offs[i].data1, ons[i].data1) << "each note ends before the next begins";
        EXPECT_GT(ons[i].data2, 63) << "clearly audible";
        EXPECT_EQ(ons[i].data2, ons.front().data2) << "an even touch";
        EXPECT_NEAR(ons[i].seconds - ons.front().seconds, QuarterSeconds * static_cast<double>(i),
                    Tolerance);
        const double held = offs[i].seconds - ons[i].seconds;
        if (i + 1 < ons.size())
            EXPECT_NEAR(held, QuarterSeconds, Tolerance);
        else
            EXPECT_GE(held, 2 * QuarterSeconds - Tolerance) << "the last tonic is held";
    }
    EXPECT_EQ(readback.totalTicks, offs.back().tick) << "the file ends with its last note";
}

INSTANTIATE_TEST_SUITE_P(AllKeysAndForms, EachRecording, testing::ValuesIn(allRecordings()),
                         recordingLabel);

TEST(RecordingFiles, AreTheFortyFiveNamesOfTheKeyTable)
{
    const fs::path &folder = GeneratedRecordings::folder();
    std::set<std::string> onDisk;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        onDisk.insert(entry.path().filename().string());

    std::set<std::string> expected;
    for (const Recording &recording : allRecordings())
        expected.insert(*RecordingName(recording.keyIndex, recording.form));
    EXPECT_EQ(expected.size(), 45u) << "names must be distinct";
    EXPECT_EQ(onDisk, expected);
    for (const char *name : {"La Bem Prim.MID", "La Harm.MID", "La Sus Mel.MID", "Re Mel.MID",
                             "Sol Sus Harm.MID", "Mi Bem Prim.MID"})
        EXPECT_TRUE(onDisk.contains(name)) << name;
}

TEST(RecordingFiles, InTheBuildFolderAreTheToolsOutput)
{
    const fs::path built = QUARVELO_RECORDINGS_DIR;
    for (const Recording &recording : allRecordings()) {
        const std::string name = *RecordingName(recording.keyIndex, recording.form);
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::is_regular_file(built / name));
        EXPECT_EQ(bytesOf(built / name), bytesOf(GeneratedRecordings::folder() / name));
    }
}

TEST(RecordingFiles, WriterReplacesAnOlderFile)
{
    const fs::path folder = GeneratedRecordings::folder() / "again";
    fs::create_directories(folder);
    const std::string name = *RecordingName(LowestKeyIndex, ScaleForm::Primitiva);
    std::ofstream(folder / name) << std::string(4096, 'x');
    WriteScaleRecordings(folder);
    EXPECT_EQ(bytesOf(folder / name), bytesOf(GeneratedRecordings::folder() / name));
}

TEST(TonicMidiNote, RefusesAKeyIndexNoKeyHas)
{
    for (std::int32_t keyIndex : {-1, 0, LowestKeyIndex - 1, HighestKeyIndex + 1, 23}) {
        SCOPED_TRACE(keyIndex);
        EXPECT_THROW(TonicMidiNote(keyIndex), std::out_of_range);
        EXPECT_THROW(ScaleRecordingFile(keyIndex, ScaleForm::Primitiva), std::out_of_range);
    }
}

struct VariableLengthCase
{
    std::uint32_t value;
    std::vector<std::uint8_t> bytes;
};

void PrintTo(const VariableLengthCase &lengthCase, std::ostream *out)
{
    *out << lengthCase.value;
}

class VariableLength : public testing::TestWithParam<VariableLengthCase>
{
};

TEST_P(VariableLength, UsesSevenBitsAByteMostSignificantFirst)
{
    std::vector<std::uint8_t> out{0xAA}; // what came before stays
    SmfWriter::appendVariableLength(out, GetParam().value);
    std::vector<std::uint8_t> expected{0xAA};
    expected.insert(expected.end(), GetParam().bytes.begin(), GetParam().bytes.end());
    EXPECT_EQ(out, expected);
}

INSTANTIATE_TEST_SUITE_P(
    SmfWriter, VariableLength,
    testing::Values(VariableLengthCase{0, {0x00}}, VariableLengthCase{0x40, {0x40}},
                    VariableLengthCase{0x7F, {0x7F}}, VariableLengthCase{0x80, {0x81, 0x00}},
                    VariableLengthCase{480, {0x83, 0x60}}, VariableLengthCase{0x2000, {0xC0, 0x00}},
                    VariableLengthCase{0x3FFF, {0xFF, 0x7F}},
                    VariableLengthCase{0x4000, {0x81, 0x80, 0x00}},
                    VariableLengthCase{0x1FFFFF, {0xFF, 0xFF, 0x7F}},
                    VariableLengthCase{0x200000, {0x81, 0x80, 0x80, 0x00}},
                    VariableLengthCase{0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}));

TEST(SmfWriter, RefusesWhatTheFileFormatCannotHold)
{
    std::vector<std::uint8_t> out;
    EXPECT_THROW(SmfWriter::appendVariableLength(out, 0x10000000), std::out_of_range);
    EXPECT_TRUE(out.empty()) << "nothing half-written";
    EXPECT_THROW(SmfWriter(0), std::out_of_range);
    EXPECT_THROW(SmfWriter(0x8000), std::out_of_range) << "frame-based timing";

    SmfWriter writer(480);
    const std::vector<std::uint8_t> before = writer.file(0);
    EXPECT_THROW(writer.noteOn(0, 16, 60, 90), std::out_of_range);
    EXPECT_THROW(writer.noteOn(0, 0, 128, 90), std::out_of_range);
    EXPECT_THROW(writer.noteOn(0, 0, 60, 0), std::out_of_range) << "would read as a note-off";
    EXPECT_THROW(writer.noteOff(0, -1, 60), std::out_of_range);
    EXPECT_THROW(writer.programChange(0, 0, 128), std::out_of_range);
    EXPECT_THROW(writer.tempo(0, 0), std::out_of_range);
    EXPECT_THROW(writer.tempo(0, 0x1000000), std::out_of_range);
    EXPECT_EQ(writer.file(0), before) << "a refused event leaves no trace";
}

} // namespace
