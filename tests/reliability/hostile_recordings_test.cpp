// Recordings copied badly, a soundfont or a sound output missing: through the real window and
// the real FluidSynth service, each case shows one message that names what failed, leaves the
// grids on the chosen key, and the next key change works again.
#include "application.h"
#include "fluidsynth_media_service.h"
#include "key_combo_box.h"
#include "main_window.h"
#include "media_player.h"
#include "minor_keys.h"
#include "recording_names.h"
#include "scale_rows.h"
#include "scratch_recordings.h"
#include "shown_errors.h"
#include "watchdog.h"
#include "window_fixture.h"

#include <QTest>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using State = MediaPlayer::State;

Application &App()
{
    return *static_cast<Application *>(QCoreApplication::instance());
}

// What stands in for the desktop's sound: the test soundfont and an offline output, or one of
// them missing.
enum class Sound { Available, NoSoundFont, NoAudioOutput };

FluidSynthMediaService::Options SoundOptions(Sound sound, const ScratchRecordings &scratch)
{
    FluidSynthMediaService::Options options;
    options.soundFonts = {QUARVELO_TEST_SOUNDFONT};
    options.offline = true;
    options.offlineSpeed = 40;
    options.closeOutputAfter = 0ms;
    if (sound == Sound::NoSoundFont) {
        // A soundfont folder with nothing in it.
        fs::create_directory(scratch.path("sf2"));
        options.soundFonts = {scratch.path("sf2/TimGM6mb.sf2").string()};
    } else if (sound == Sound::NoAudioOutput) {
        options.offline = false;
        options.audioDrivers = {};
    }
    return options;
}

QString NotFound(const char *name)
{
    return QStringLiteral("A gravação \"%1\" não foi encontrada.").arg(QLatin1String(name));
}

QString Damaged(const char *name)
{
    return QStringLiteral("A gravação \"%1\" não é um arquivo MIDI ou está danificada.")
        .arg(QLatin1String(name));
}

QString Unreadable(const char *name)
{
    return QStringLiteral("A gravação \"%1\" não pode ser lida (pasta, dispositivo, sem permissão "
                          "ou grande demais).")
        .arg(QLatin1String(name));
}

// The same bytes on every run for the same stream number, so a failure can be repeated.
std::vector<char> RandomBytes(std::size_t count, unsigned stream)
{
    std::mt19937 random(stream);
    std::vector<char> bytes(count);
    for (char &byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

constexpr int La = 0; // list positions
constexpr int Mi = 1;
constexpr int Sol = 9;

struct HostileCase
{
    const char *label;
    // What is wrong before the window starts.
    std::function<void(ScratchRecordings &)> damage;
    Sound sound = Sound::Available;
    // The keys picked in the list, in order; the last is the key the grids must show.
    std::vector<int> picks{La};
    // Play pressed on the first player after the picks.
    bool pressPlay = false;
    QString message;
    std::array<State, 3> players;
    // What the user does about it before the next key change, if anything.
    std::function<void(ScratchRecordings &)> mend = nullptr;
};

void PrintTo(const HostileCase &hostile, std::ostream *out)
{
    *out << hostile.label;
}

const HostileCase Cases[] = {
    {"AllRecordingsMissing",
     [](ScratchRecordings &scratch) { scratch.removeAll(); },
     Sound::Available,
     {La},
     false,
     NotFound("La Prim.MID") + u'\n' + NotFound("La Harm.MID") + u'\n' + NotFound("La Mel.MID"),
     {State::Empty, State::Empty, State::Empty},
     [](ScratchRecordings &scratch) {
         scratch.restoreAll();
     }},
    {"OnlySolHarmMissingAfterLa",
     [](ScratchRecordings &scratch) { scratch.remove("Sol Harm.MID"); },
     Sound::Available,
     {La, Sol},
     false,
     NotFound("Sol Harm.MID"),
     {State::Ready, State::Empty, State::Ready}},
    {"EmptyFile",
     [](ScratchRecordings &scratch) { scratch.write("La Prim.MID", {}); },
     Sound::Available,
     {La},
     false,
     Damaged("La Prim.MID"),
     {State::Empty, State::Ready, State::Ready}},
    {"TruncatedFile",
     [](ScratchRecordings &scratch) {
         std::vector<char> bytes = ScratchRecordings::original("La Harm.MID");
         bytes.resize(bytes.size() / 2);
         scratch.write("La Harm.MID", bytes);
     },
     Sound::Available,
     {La},
     false,
     Damaged("La Harm.MID"),
     {State::Ready, State::Empty, State::Ready}},
    {"RandomBytes",
     [](ScratchRecordings &scratch) { scratch.write("La Mel.MID", RandomBytes(4096, 61)); },
     Sound::Available,
     {La},
     false,
     Damaged("La Mel.MID"),
     {State::Ready, State::Ready, State::Empty}},
    {"HundredMegabytesOfJunk",
     [](ScratchRecordings &scratch) {
         // Junk at the start, then a hole: the size is real, the disk is spared.
         scratch.write("La Prim.MID", RandomBytes(4096, 62));
         fs::resize_file(scratch.path("La Prim.MID"), 100u << 20);
     },
     Sound::Available,
     {La},
     false,
     Unreadable("La Prim.MID"),
     {State::Empty, State::Ready, State::Ready}},
    {"FolderWithTheRecordingsName",
     [](ScratchRecordings &scratch) {
         scratch.remove("La Harm.MID");
         fs::create_directory(scratch.path("La Harm.MID"));
     },
     Sound::Available,
     {La},
     false,
     Unreadable("La Harm.MID"),
     {State::Ready, State::Empty, State::Ready}},
    {"FifoWithTheRecordingsName", // nobody ever writes to it: an open that waits would hang
     [](ScratchRecordings &scratch) {
         scratch.remove("La Mel.MID");
         ASSERT_EQ(::mkfifo(scratch.path("La Mel.MID").c_str(), 0600), 0);
     },
     Sound::Available,
     {La},
     false,
     Unreadable("La Mel.MID"),
     {State::Ready, State::Ready, State::Empty}},
    {"LinkToDevZero", // endless bytes: a read to the end would never finish
     [](ScratchRecordings &scratch) {
         scratch.remove("La Prim.MID");
         fs::create_symlink("/dev/zero", scratch.path("La Prim.MID"));
     },
     Sound::Available,
     {La},
     false,
     Unreadable("La Prim.MID"),
     {State::Empty, State::Ready, State::Ready}},
    {"TracksLieAboutTheirLengths",
     [](ScratchRecordings &scratch) {
         // The first track chunk's length, bytes 18 to 21, claims 4 GiB.
         std::vector<char> bytes = ScratchRecordings::original("La Harm.MID");
         ASSERT_EQ(std::string(bytes.begin() + 14, bytes.begin() + 18), "MTrk");
         std::fill(bytes.begin() + 18, bytes.begin() + 22, char(0xFF));
         scratch.write("La Harm.MID", bytes);
     },
     Sound::Available,
     {La},
     false,
     Damaged("La Harm.MID"),
     {State::Ready, State::Empty, State::Ready}},
    {"NoSoundFontInstalled",
     [](ScratchRecordings &) {},
     Sound::NoSoundFont,
     {La},
     true,
     QStringLiteral("Nenhum banco de sons General MIDI (SoundFont) está instalado para tocar "
                    "\"La Prim.MID\"."),
     {State::Ready, State::Ready, State::Ready}},
    {"NoAudioOutputWhenPlayIsPressed",
     [](ScratchRecordings &) {},
     Sound::NoAudioOutput,
     {La},
     true,
     QStringLiteral("Nenhuma saída de áudio disponível para tocar \"La Prim.MID\"."),
     {State::Ready, State::Ready, State::Ready}},
};

QStringList ModelRow(const ScaleRow &cells)
{
    QStringList row(StringGrid::ColCount);
    for (const RowCell &cell : cells)
        row[cell.column] = QString::fromUtf8(cell.text.data(), qsizetype(cell.text.size()));
    return row;
}

class HostileRecordings : public testing::TestWithParam<HostileCase>
{
protected:
    void TearDown() override
    {
        window.reset();
        Settle();
        service.reset();
    }

    void startWindow(Sound sound)
    {
        service = std::make_unique<FluidSynthMediaService>(SoundOptions(sound, scratch));
        window = std::make_unique<TForm1>(*service);
        Form1 = window.get();
        window->FormCreate();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // A pick in the open list, and the key change it posts.
    void pick(int position)
    {
        window->ComboBox1->setCurrentIndex(position);
        Settle();
    }

    std::array<MediaPlayer *, 3> players() const
    {
        return {window->MediaPlayer1, window->MediaPlayer2, window->MediaPlayer3};
    }

    std::array<State, 3> states() const
    {
        std::array<State, 3> result{};
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = players()[i]->state();
        return result;
    }

    // The grids show the key of the list position, and every player is named after it.
    void expectKey(int position)
    {
        const std::int32_t keyIndex = *KeyIndexForPosition(position);
        EXPECT_EQ(KeyIndex, keyIndex);
        EXPECT_EQ(window->ComboBox1->currentIndex(), position);
        const std::array<StringGrid *, 3> grids{window->StringGrid1, window->StringGrid2,
                                                window->StringGrid3};
        for (std::size_t i = 0; i < grids.size(); ++i) {
            EXPECT_EQ(RowTexts(*grids[i], StringGrid::NoteRow),
                      ModelRow(NoteRow(ScaleForms[i], keyIndex)));
            EXPECT_EQ(players()[i]->FileName().toStdString(),
                      *RecordingName(keyIndex, ScaleForms[i]));
        }
    }

    ScratchRecordings scratch;
    std::unique_ptr<FluidSynthMediaService> service;
    std::unique_ptr<TForm1> window;
};

TEST_P(HostileRecordings, NamesWhatFailedKeepsTheKeyAndTheNextChangeWorks)
{
    const HostileCase &hostile = GetParam();
    hostile.damage(scratch);
    ASSERT_NO_FATAL_FAILURE(startWindow(hostile.sound));
    ShownErrors shown;
    {
        const Watchdog watchdog(std::string(hostile.label) + ": the picks", 60s);
        for (int position : hostile.picks)
            pick(position);
        if (hostile.pressPlay) {
            ASSERT_TRUE(window->MediaPlayer1->isPlayEnabled());
            QTest::mouseClick(window->MediaPlayer1, Qt::LeftButton);
            Settle();
        }
    }

    ASSERT_EQ(shown.errors.size(), 1u);
    EXPECT_EQ(shown.errors[0].title, QStringLiteral("reliability_tests"))
        << "the title that the program derives from its file name";
    EXPECT_EQ(shown.errors[0].title, App().title());
    EXPECT_EQ(shown.errors[0].text, hostile.message);
    expectKey(hostile.picks.back());
    EXPECT_EQ(states(), hostile.players);
    struct stat info
    {
    };
    if (::lstat(scratch.path("La Mel.MID").c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        // A writer can open a FIFO without waiting only while a reader has it open.
        const int writer = ::open(scratch.path("La Mel.MID").c_str(), O_WRONLY | O_NONBLOCK);
        EXPECT_EQ(writer < 0 ? errno : 0, ENXIO) << "the program holds the FIFO open";
        if (writer >= 0)
            ::close(writer);
    }

    if (hostile.mend)
        hostile.mend(scratch);
    {
        const Watchdog watchdog(std::string(hostile.label) + ": the next change", 60s);
        pick(Mi);
    }
    EXPECT_EQ(shown.errors.size(), 1u) << "the next key change shows no error";
    expectKey(Mi);
    EXPECT_EQ(states(), (std::array{State::Ready, State::Ready, State::Ready}));
}

INSTANTIATE_TEST_SUITE_P(Window, HostileRecordings, testing::ValuesIn(Cases),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
