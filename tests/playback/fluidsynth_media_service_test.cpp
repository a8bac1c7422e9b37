// The FluidSynth service against the generated recordings and against files that are not
// recordings, rendering offline: no audio device is needed, and plays run faster than real time.
#include "block_peak.h"
#include "fluidsynth_media_service.h"
#include "minor_keys.h"
#include "recording_names.h"
#include "smf_writer.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Options = FluidSynthMediaService::Options;

fs::path recording(std::int32_t keyIndex, ScaleForm form)
{
    return fs::path(QUARVELO_RECORDINGS_DIR) / *RecordingName(keyIndex, form);
}

const fs::path &aRecording()
{
    static const fs::path path = recording(NaturalKeyIndex, ScaleForm::Harmonica);
    return path;
}

// Fast enough that a scale of about ten seconds plays in a quarter of a second.
Options offline(double speed = 40)
{
    Options options;
    options.offline = true;
    options.offlineSpeed = speed;
    options.closeOutputAfter = 0ms;
    return options;
}

// Delivers posted events until the condition holds; gives up after ten seconds so that a
// missing notice fails the test instead of hanging it.
bool waitUntil(const std::function<bool()> &condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct Notices
{
    int count = 0;
    bool allOnMainThread = true;

    std::function<void()> notice()
    {
        return [this] {
            ++count;
            allOnMainThread = allOnMainThread
                              && QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }
};

// What the offline output rendered: how much, how loud overall and in its latest block.
struct Output
{
    std::atomic<long> frames{0};
    std::atomic<long> blocks{0};
    std::atomic<float> peak{0};
    std::atomic<float> latestBlockPeak{0};

    static Options listen(const std::shared_ptr<Output> &output, Options options)
    {
        options.offlineSink = [output](std::span<const float> left, std::span<const float> right) {
            const float block = BlockPeak(left, right);
            output->latestBlockPeak = block;
            output->peak = std::max(output->peak.load(), block);
            output->frames += static_cast<long>(left.size());
            ++output->blocks;
        };
        return options;
    }
};

std::vector<char> bytesOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path &path, const std::vector<char> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder of its own for each test that makes files, removed afterwards.
class ScratchFolder : public testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device random;
        folder = fs::temp_directory_path() / ("quarvelo-service-" + std::to_string(random()));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, ignored);
        fs::remove_all(folder, ignored);
    }

    fs::path folder;
};

// --- Opening ---------------------------------------------------------------------------------

TEST(FluidSynthMediaService, OpensEveryRecordingStoppedAtItsStart)
{
    FluidSynthMediaService service(offline());
    for (std::int32_t key = LowestKeyIndex; key <= HighestKeyIndex; ++key) {
        for (ScaleForm form : ScaleForms) {
            const fs::path path = recording(key, form);
            SCOPED_TRACE(path.filename().string());
            MediaDevice device = 0;
            ASSERT_EQ(service.open(path.string(), device), MediaError::None);
            EXPECT_NE(device, 0);
            EXPECT_TRUE(service.canPlay(device));
            EXPECT_EQ(service.mode(device), MediaMode::Stopped);
            EXPECT_EQ(service.position(device), 0);
            EXPECT_GT(service.length(device), 0);
            EXPECT_EQ(service.close(device), MediaError::None);
        }
    }
}

TEST(FluidSynthMediaService, FindsABareNameInTheWorkingDirectory)
{
    const fs::path before = fs::current_path();
    fs::current_path(QUARVELO_RECORDINGS_DIR);
    FluidSynthMediaService service(offline());
    MediaDevice found = 0;
    MediaDevice missing = 0;
    const MediaError foundResult = service.open("Sol Harm.MID", found);
    const MediaError missingResult = service.open("Sol Harm.mid", missing);
    fs::current_path(before);
    EXPECT_EQ(foundResult, MediaError::None);
    EXPECT_EQ(missingResult, MediaError::FileNotFound) << "names are case-sensitive";
}

TEST(FluidSynthMediaService, OpensOneFileTwiceAsTwoDevices)
{
    FluidSynthMediaService service(offline());
    MediaDevice first = 0;
    MediaDevice second = 0;
    ASSERT_EQ(service.open(aRecording().string(), first), MediaError::None);
    ASSERT_EQ(service.open(aRecording().string(), second), MediaError::None);
    EXPECT_NE(first, second);

    Notices notices;
    ASSERT_EQ(service.play(first, notices.notice()), MediaError::None);
    EXPECT_EQ(service.mode(second), MediaMode::Stopped) << "playing one leaves the other alone";
    ASSERT_EQ(service.play(second, notices.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return notices.count == 2; }));
}

struct BadFile
{
    const char *label;
    MediaError expected;
    // Makes the file (or whatever stands under the name) in the folder; returns its name.
    std::function<std::string(const fs::path &folder)> make;
    bool needsUnprivilegedUser = false;
};

std::vector<char> aRecordingsBytes()
{
    return bytesOf(aRecording());
}

// A header and one track holding the given events.
std::vector<char> midiFile(std::vector<char> events)
{
    std::vector<char> bytes{'M', 'T', 'h', 'd',  0,          0,   0,   6,   0,
                            0,   0,   1,   0x01, char(0xE0), 'M', 'T', 'r', 'k'};
    const auto length = static_cast<std::uint32_t>(events.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>(length >> shift));
    bytes.insert(bytes.end(), events.begin(), events.end());
    return bytes;
}

std::string named(const fs::path &folder, const std::string &name, const std::vector<char> &bytes)
{
    writeBytes(folder / name, bytes);
    return name;
}

const BadFile badFiles[] = {
    {"Missing", MediaError::FileNotFound,
     [](const fs::path &) {
         return std::string("Si Mel.MID");
     }},
    {"MissingFolder", MediaError::FileNotFound,
     [](const fs::path &) {
         return std::string("gone/Si Mel.MID");
     }},
    {"EmptyName", MediaError::FileNotFound,
     [](const fs::path &) {
         return std::string();
     }},
    {"Empty", MediaError::NotMidiFile,
     [](const fs::path &f) {
         return named(f, "Empty.MID", {});
     }},
    {"Truncated", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::vector<char> bytes = aRecordingsBytes();
         bytes.resize(bytes.size() / 2);
         return named(f, "Truncated.MID", bytes);
     }},
    {"HeaderOnly", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::vector<char> bytes = aRecordingsBytes();
         bytes.resize(14);
         return named(f, "Header.MID", bytes);
     }},
    {"RandomBytes", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::mt19937 random(20240611);
         std::vector<char> bytes(4096);
         for (char &byte : bytes)
             byte = static_cast<char>(random());
         return named(f, "Random.MID", bytes);
     }},
    {"RandomAfterAHeader", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::mt19937 random(7);
         std::vector<char> events(300);
         for (char &byte : events)
             byte = static_cast<char>(random());
         return named(f, "Noise.MID", midiFile(events));
     }},
    {"Text", MediaError::NotMidiFile,
     [](const fs::path &f) {
         const std::string text = "Dó Ré Mi Fá Sol Lá Si\n";
         return named(f, "Text.MID", {text.begin(), text.end()});
     }},
    {"TrackLongerThanTheFile", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::vector<char> bytes = aRecordingsBytes();
         bytes[20] = static_cast<char>(bytes[20] + 1); // track length grows by 256 bytes
         return named(f, "Long.MID", bytes);
     }},
    {"FrameBasedTiming", MediaError::NotMidiFile,
     [](const fs::path &f) {
         std::vector<char> bytes = aRecordingsBytes();
         bytes[12] = static_cast<char>(0xE7); // -25 frames a second
         bytes[13] = 40;
         return named(f, "Smpte.MID", bytes);
     }},
    // Well formed by the file format, yet FluidSynth cannot play it: only FluidSynth's own
    // reading can tell.
    {"EscapeEventFluidSynthRefuses", MediaError::NotMidiFile,
     [](const fs::path &f) {
         return named(f, "Escape.MID",
                      midiFile({0, char(0xF7), 1, char(0xF8), 0, char(0xFF), 0x2F, 0}));
     }},
    {"Folder", MediaError::Unreadable,
     [](const fs::path &f) {
         fs::create_directory(f / "Pasta.MID");
         return std::string("Pasta.MID");
     }},
    {"Fifo", MediaError::Unreadable,
     [](const fs::path &f) {
         EXPECT_EQ(::mkfifo((f / "Fifo.MID").c_str(), 0600), 0);
         return std::string("Fifo.MID");
     }},
    {"LinkToADevice", MediaError::Unreadable,
     [](const fs::path &f) {
         fs::create_symlink("/dev/zero", f / "Zero.MID");
         return std::string("Zero.MID");
     }},
    {"TooLarge", MediaError::Unreadable,
     [](const fs::path &f) {
         const std::string name = named(f, "Large.MID", aRecordingsBytes());
         fs::resize_file(f / name, (1u << 20) + 1);
         return name;
     }},
    {"NoPermission", MediaError::Unreadable,
     [](const fs::path &f) {
         const std::string name = named(f, "Locked.MID", aRecordingsBytes());
         fs::permissions(f / name, fs::perms::none);
         return name;
     },
     true},
};

void PrintTo(const BadFile &file, std::ostream *out)
{
    *out << file.label;
}

class OpenRefuses : public ScratchFolder, public testing::WithParamInterface<BadFile>
{
};

TEST_P(OpenRefuses, WithItsCodeAndATextNamingTheFile)
{
    if (GetParam().needsUnprivilegedUser && ::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads any file";
    const std::string name = GetParam().make(folder);
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    FluidSynthMediaService service(offline());
    MediaDevice device = 0;
    const MediaError result = service.open(name, device);
    fs::current_path(before);

    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(device, 0);
    const std::optional<std::string> text = service.errorText(result, name);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\"" + name + "\""), std::string::npos) << *text;
}

INSTANTIATE_TEST_SUITE_P(FluidSynthMediaService, OpenRefuses, testing::ValuesIn(badFiles),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(ScratchFolder, AFileAtTheSizeLimitStillOpens)
{
    std::vector<char> bytes = aRecordingsBytes();
    bytes.resize(1u << 20, 0); // padding after the last track is ignored
    writeBytes(folder / "Padded.MID", bytes);
    FluidSynthMediaService service(offline());
    MediaDevice device = 0;
    EXPECT_EQ(service.open((folder / "Padded.MID").string(), device), MediaError::None);
}

// --- Error texts -----------------------------------------------------------------------------

struct ErrorTextCase
{
    MediaError error;
    const char *says;
};

void PrintTo(const ErrorTextCase &textCase, std::ostream *out)
{
    *out << static_cast<int>(textCase.error) << " says \"" << textCase.says << '"';
}

class ErrorText : public testing::TestWithParam<ErrorTextCase>
{
};

TEST_P(ErrorText, NamesTheRecordingInPortuguese)
{
    FluidSynthMediaService service(offline());
    const std::optional<std::string> text = service.errorText(GetParam().error, "Sol Harm.MID");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\"Sol Harm.MID\""), std::string::npos) << *text;
    EXPECT_NE(text->find(GetParam().says), std::string::npos) << *text;
}

INSTANTIATE_TEST_SUITE_P(
    FluidSynthMediaService, ErrorText,
    testing::Values(ErrorTextCase{MediaError::FileNotFound, "não foi encontrada"},
                    ErrorTextCase{MediaError::NotMidiFile,
                                  "não é um arquivo MIDI ou está danificada"},
                    ErrorTextCase{MediaError::Unreadable, "não pode ser lida"},
                    ErrorTextCase{MediaError::NoSoundFont, "Nenhum banco de sons General MIDI"},
                    ErrorTextCase{MediaError::NoAudioOutput, "Nenhuma saída de áudio"},
                    ErrorTextCase{MediaError::NoDevice, "não está aberta"}));

TEST(FluidSynthMediaService, HasNoTextForACodeItDoesNotKnow)
{
    FluidSynthMediaService service(offline());
    for (MediaError code :
         {static_cast<MediaError>(999), static_cast<MediaError>(-1), MediaError::None})
        EXPECT_FALSE(service.errorText(code, "Sol Harm.MID").has_value()) << static_cast<int>(code);
}

// --- Playing ---------------------------------------------------------------------------------

TEST(FluidSynthMediaService, PlaysToTheEndAndNotifiesOnTheMainThread)
{
    FluidSynthMediaService service(offline());
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices notices;
    MediaMode modeAtNotice = MediaMode::NotReady;
    ASSERT_EQ(service.play(device,
                           [&, notice = notices.notice()] {
                               modeAtNotice = service.mode(device);
                               notice();
                           }),
              MediaError::None);
    EXPECT_EQ(service.mode(device), MediaMode::Playing);

    ASSERT_TRUE(waitUntil([&] { return notices.count == 1; }));
    EXPECT_TRUE(notices.allOnMainThread);
    EXPECT_EQ(modeAtNotice, MediaMode::Stopped) << "stopped by the time the notice arrives";
    EXPECT_EQ(service.position(device), service.length(device)) << "stands at its end";
    EXPECT_FALSE(service.soundFont().empty());
    // Nothing plays any more: the output closes, and no second notice comes.
    ASSERT_TRUE(waitUntil([&] { return !service.isOutputOpen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices.count, 1);
}

TEST(FluidSynthMediaService, SeekToStartMakesTheNextPlayAWholeOne)
{
    auto output = std::make_shared<Output>();
    FluidSynthMediaService service(Output::listen(output, offline()));
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);

    // Rendered frames, not time, measure each play: a play that starts from the beginning
    // renders the whole recording before its notice.
    auto playWhole = [&] {
        Notices notices;
        const long start = output->frames;
        EXPECT_EQ(service.play(device, notices.notice()), MediaError::None);
        EXPECT_TRUE(waitUntil([&] { return notices.count == 1; }));
        return output->frames - start;
    };
    const long first = playWhole();
    ASSERT_EQ(service.position(device), service.length(device));

    ASSERT_EQ(service.seekToStart(device), MediaError::None);
    EXPECT_EQ(service.position(device), 0);
    EXPECT_EQ(service.mode(device), MediaMode::Stopped);
    const long second = playWhole();

    const long recordingFrames = 44100L * 9; // the scale lasts more than nine seconds
    EXPECT_GT(first, recordingFrames);
    EXPECT_GT(second, recordingFrames);
    EXPECT_EQ(service.position(device), service.length(device));
}

TEST(FluidSynthMediaService, APlayAtTheEndEndsAtOnce)
{
    FluidSynthMediaService service(offline());
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices first;
    ASSERT_EQ(service.play(device, first.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return first.count == 1; }));

    Notices again;
    ASSERT_EQ(service.play(device, again.notice()), MediaError::None);
    EXPECT_EQ(service.mode(device), MediaMode::Stopped) << "nothing is left to play";
    EXPECT_EQ(again.count, 0) << "the notice comes later, never from inside play";
    ASSERT_TRUE(waitUntil([&] { return again.count == 1; }));
    EXPECT_TRUE(again.allOnMainThread);
    EXPECT_EQ(service.position(device), service.length(device));
}

TEST(FluidSynthMediaService, SeekDuringAPlayStopsItAndDeliversItsNotice)
{
    FluidSynthMediaService service(offline(1));
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices notices;
    ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return service.position(device) > 0; }));

    ASSERT_EQ(service.seekToStart(device), MediaError::None);
    EXPECT_EQ(service.mode(device), MediaMode::Stopped);
    EXPECT_EQ(service.position(device), 0);
    ASSERT_TRUE(waitUntil([&] { return notices.count == 1; }));
    EXPECT_TRUE(notices.allOnMainThread);
}

TEST(FluidSynthMediaService, APlayWhilePlayingCarriesOnAndDeliversTheEarlierNotice)
{
    FluidSynthMediaService service(offline(1));
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices earlier;
    Notices later;
    ASSERT_EQ(service.play(device, earlier.notice()), MediaError::None);
    ASSERT_EQ(service.play(device, later.notice()), MediaError::None);

    ASSERT_TRUE(waitUntil([&] { return earlier.count == 1; }));
    EXPECT_EQ(service.mode(device), MediaMode::Playing);
    EXPECT_EQ(later.count, 0);
    ASSERT_EQ(service.close(device), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return later.count == 1; }));
}

TEST(FluidSynthMediaService, CloseWhilePlayingSilencesAtOnceAndDeliversTheNotice)
{
    auto output = std::make_shared<Output>();
    Options options = Output::listen(output, offline(1));
    options.closeOutputAfter = 1h; // keep rendering, to hear that nothing is left
    FluidSynthMediaService service(options);
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices notices;
    ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return output->latestBlockPeak > 0.01f; })) << "it sounds";

    ASSERT_EQ(service.close(device), MediaError::None);
    // The block being rendered while close ran may still carry sound; the ones after it not.
    const long closedAt = output->blocks;
    ASSERT_TRUE(waitUntil([&] { return output->blocks >= closedAt + 2; }));
    EXPECT_EQ(output->latestBlockPeak, 0.0f);
    ASSERT_TRUE(waitUntil([&] { return notices.count == 1; }));
    EXPECT_TRUE(notices.allOnMainThread);
    EXPECT_EQ(service.mode(device), MediaMode::NotReady);
}

TEST(FluidSynthMediaService, OpensTheOutputAtAPlayAndClosesItWhenNothingPlays)
{
    Options options = offline();
    FluidSynthMediaService service(options);
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    EXPECT_FALSE(service.isOutputOpen()) << "opening a recording makes no sound";
    EXPECT_EQ(service.audioDriver(), "");

    Notices notices;
    ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    EXPECT_TRUE(service.isOutputOpen());
    EXPECT_EQ(service.audioDriver(), "offline");
    ASSERT_TRUE(waitUntil([&] { return notices.count == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !service.isOutputOpen(); }));
    EXPECT_EQ(service.audioDriver(), "");

    // And opens it again for the next play.
    ASSERT_EQ(service.seekToStart(device), MediaError::None);
    ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    EXPECT_TRUE(service.isOutputOpen());
    ASSERT_TRUE(waitUntil([&] { return notices.count == 2; }));
}

// The loudest case: the three forms of a key started together, so that their common notes
// sound in step. Clearly audible, and still below full scale.
class ThreeFormsTogether : public testing::TestWithParam<std::int32_t>
{
};

TEST_P(ThreeFormsTogether, StayBelowFullScale)
{
    auto output = std::make_shared<Output>();
    FluidSynthMediaService service(Output::listen(output, offline()));
    std::vector<MediaDevice> devices;
    for (ScaleForm form : ScaleForms) {
        MediaDevice device = 0;
        ASSERT_EQ(service.open(recording(GetParam(), form).string(), device), MediaError::None);
        devices.push_back(device);
    }
    Notices notices;
    for (MediaDevice device : devices)
        ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return notices.count == 3; }));

    EXPECT_LT(output->peak, 1.0f) << "clipping";
    EXPECT_GT(output->peak, 0.1f) << "too quiet to hear well";
}

// The lowest and highest tonics, and the keys that peaked highest when the gain was chosen.
INSTANTIATE_TEST_SUITE_P(FluidSynthMediaService, ThreeFormsTogether,
                         testing::Values(7, 11, 12, 14));

// Every synthesizer plays from the one soundfont the service loads, and the instruments other
// than the piano are read only when they first sound: a file that asks for one is heard too.
struct Instrument
{
    const char *label;
    int channel;
    int program; // below zero: none asked for, the channel's own (piano, or drums on channel 10)
    int key;
};

class InstrumentFile : public ScratchFolder, public testing::WithParamInterface<Instrument>
{
};

TEST_P(InstrumentFile, IsHeard)
{
    const Instrument &instrument = GetParam();
    SmfWriter writer(96);
    if (instrument.program >= 0)
        writer.programChange(0, instrument.channel, instrument.program);
    writer.noteOn(0, instrument.channel, instrument.key, 100);
    writer.noteOff(96, instrument.channel, instrument.key);
    const std::vector<std::uint8_t> bytes = writer.file(0);
    writeBytes(folder / "Instrument.mid", {bytes.begin(), bytes.end()});

    auto output = std::make_shared<Output>();
    FluidSynthMediaService service(Output::listen(output, offline()));
    MediaDevice device = 0;
    ASSERT_EQ(service.open((folder / "Instrument.mid").string(), device), MediaError::None);
    Notices notices;
    ASSERT_EQ(service.play(device, notices.notice()), MediaError::None);
    ASSERT_TRUE(waitUntil([&] { return notices.count == 1; }));
    EXPECT_GT(output->peak, 0.01f) << "silent";
}

const Instrument instruments[] = {
    {"Piano", 0, -1, 60},
    {"Violin", 0, 40, 67},
    {"Drums", 9, -1, 38},
};

INSTANTIATE_TEST_SUITE_P(FluidSynthMediaService, InstrumentFile, testing::ValuesIn(instruments),
                         [](const auto &info) { return std::string(info.param.label); });

// --- Refused plays and unknown devices -------------------------------------------------------

class NoSoundFont : public ScratchFolder, public testing::WithParamInterface<const char *>
{
};

TEST_P(NoSoundFont, RefusesThePlayAndLeavesTheRecordingStopped)
{
    std::string soundFont = GetParam();
    if (soundFont == "recording")
        soundFont = aRecording().string(); // a file, but no soundfont
    if (soundFont == "empty") {
        writeBytes(folder / "Empty.sf2", {});
        soundFont = (folder / "Empty.sf2").string();
    }
    Options options = offline();
    options.soundFonts = {soundFont};
    FluidSynthMediaService service(options);
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices notices;
    EXPECT_EQ(service.play(device, notices.notice()), MediaError::NoSoundFont);
    EXPECT_EQ(service.mode(device), MediaMode::Stopped);
    EXPECT_EQ(service.soundFont(), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(notices.count, 0) << "a refused play has no end";
}

INSTANTIATE_TEST_SUITE_P(FluidSynthMediaService, NoSoundFont,
                         testing::Values("/nonexistent/GM.sf2", "recording", "empty"),
                         [](const auto &info) { return std::to_string(info.index); });

class NoAudioOutput : public testing::TestWithParam<std::vector<std::string>>
{
};

TEST_P(NoAudioOutput, RefusesThePlayAndLeavesTheRecordingReady)
{
    Options options; // a real output, not the offline one
    options.audioDrivers = GetParam();
    FluidSynthMediaService service(options);
    MediaDevice device = 0;
    ASSERT_EQ(service.open(aRecording().string(), device), MediaError::None);
    Notices notices;
    EXPECT_EQ(service.play(device, notices.notice()), MediaError::NoAudioOutput);
    EXPECT_EQ(service.mode(device), MediaMode::Stopped);
    EXPECT_EQ(service.position(device), 0);
    EXPECT_FALSE(service.isOutputOpen());
    EXPECT_TRUE(service.canPlay(device));
    QCoreApplication::processEvents();
    EXPECT_EQ(notices.count, 0);
}

INSTANTIATE_TEST_SUITE_P(FluidSynthMediaService, NoAudioOutput,
                         testing::Values(std::vector<std::string>{},
                                         std::vector<std::string>{"no-such-driver"}),
                         [](const auto &info) { return std::to_string(info.index); });

TEST(FluidSynthMediaService, RefusesDevicesItDoesNotHold)
{
    FluidSynthMediaService service(offline());
    MediaDevice closed = 0;
    ASSERT_EQ(service.open(aRecording().string(), closed), MediaError::None);
    ASSERT_EQ(service.close(closed), MediaError::None);

    for (MediaDevice device : {MediaDevice{0}, closed, MediaDevice{-5}, MediaDevice{12345}}) {
        SCOPED_TRACE(device);
        EXPECT_EQ(service.close(device), MediaError::NoDevice);
        EXPECT_EQ(service.play(device, [] {}), MediaError::NoDevice);
        EXPECT_EQ(service.seekToStart(device), MediaError::NoDevice);
        EXPECT_EQ(service.mode(device), MediaMode::NotReady);
        EXPECT_EQ(service.position(device), 0);
        EXPECT_EQ(service.length(device), 0);
        EXPECT_FALSE(service.canPlay(device));
    }
}

} // namespace
