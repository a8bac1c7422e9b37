// The whole program under a private X server when something is wrong on the user's machine:
// the failure's message box appears captioned with the application's title, the window goes on
// working once it is closed, and closing the window ends the program with exit code 0. And the
// window closed while all three forms play ends the program too.
//
// Usage: app_failures_test <program> <recordings folder> <case>
// Cases: all-missing, fifo, no-audio-output, close-while-playing.
#include "child_process.h"
#include "paced_audio_reader.h"
#include "x_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = ChildProcess::Clock;
using namespace std::chrono_literals;

const std::string Caption = "Quarvelo - Versão 1.0";
// The program sets no title: the application's title is its file's name, "quarvelo", with
// the first character left as it is.
const std::string ApplicationTitle = "quarvelo";
// Bounds for things that should take a moment; reaching one means the run failed.
constexpr auto Patience = 30s;
// A program that ends is given this long; how long it took is reported, not judged.
constexpr auto ExitPatience = 5s;

// The key list's field and the players' Play buttons, in the window's client area.
constexpr int FieldX = 190;
constexpr int FieldY = 26;
constexpr int PlayerX = 86;
constexpr int PlayerTops[] = {72, 200, 328};
constexpr int PlayerSize = 29;

bool failed = false;

bool Check(bool condition, const std::string &what)
{
    std::printf("%s: %s\n", condition ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    failed = failed || !condition;
    return condition;
}

bool WaitFor(const std::function<bool()> &condition, Clock::duration limit = Patience)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A working directory of the test's own, removed at the end.
struct Scratch
{
    fs::path folder;

    Scratch()
    {
        std::random_device random;
        folder = fs::temp_directory_path() / ("quarvelo-app-" + std::to_string(random()));
        fs::create_directories(folder / "run");
        fs::permissions(folder / "run", fs::perms::owner_all);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void copyRecordings(const fs::path &from) const
    {
        for (const fs::directory_entry &entry : fs::directory_iterator(from))
            fs::copy_file(entry.path(), folder / entry.path().filename());
    }
    // An ALSA configuration of the test's own, so the program's sound goes where the test says.
    std::string alsaConfig(const std::string &text) const
    {
        const fs::path path = folder / "run" / "asound.conf";
        std::ofstream(path) << text;
        return path.string();
    }
};

class Session
{
public:
    Session(const XServer &server, ChildProcess &program, Window window)
        : m_server(server), m_program(program), m_window(window)
    { }

    // A real click in the key list's field, then the arrow key: the next entry is picked.
    void nextKey() const
    {
        Check(m_server.xdotool({"mousemove", "--window", std::to_string(m_window),
                                std::to_string(FieldX), std::to_string(FieldY), "click", "1"}),
              "xdotool clicks into the key list");
        Check(m_server.xdotool({"key", "Down"}), "xdotool presses Down");
    }

    void pressPlay(int player) const
    {
        Check(m_server.xdotool({"mousemove", "--window", std::to_string(m_window),
                                std::to_string(PlayerX), std::to_string(PlayerTops[player] + 15),
                                "click", "1"}),
              "xdotool clicks Play " + std::to_string(player + 1));
    }

    // A coloured glyph: the player holds a recording and is not playing it.
    bool playEnabled(int player) const
    {
        for (const XServer::Colour &colour :
             m_server.pixels(m_window, PlayerX - 14, PlayerTops[player], PlayerSize, PlayerSize)) {
            if (colour.green > 120 && colour.red < 60 && colour.blue < 60)
                return true;
        }
        return false;
    }

    bool playersShow(std::initializer_list<bool> enabled) const
    {
        int player = 0;
        for (bool wanted : enabled) {
            if (playEnabled(player++) != wanted)
                return false;
        }
        return true;
    }

    // The first grid, header and note row: only its note row changes with the key.
    std::vector<XServer::Colour> firstGrid() const
    {
        return m_server.pixels(m_window, 8, 104, 965, 53);
    }

    // The error's message box appears with the application's title while the window stays,
    // and goes when the user closes it.
    void expectMessageBox(const std::string &after) const
    {
        const std::optional<Window> box = m_server.waitForWindow(ApplicationTitle, Patience);
        Check(box.has_value(),
              after + ": a message box titled \"" + ApplicationTitle + "\" appears");
        Check(m_server.mappedWindows(Caption).size() == 1, after + ": the window stays");
        if (!box)
            return;
        m_server.sendDeleteWindow(*box);
        Check(WaitFor([&] { return m_server.mappedWindows(ApplicationTitle).empty(); }),
              after + ": the message box goes when it is closed");
    }

    // Waits for the window to show the state, then a moment more in which no box may appear.
    void expectNoMessageBox(const std::string &after) const
    {
        std::this_thread::sleep_for(500ms);
        Check(m_server.mappedWindows(ApplicationTitle).empty(), after + ": no message box");
    }

    void closeAndExpectExitZero() const
    {
        const auto closed = Clock::now();
        m_server.sendDeleteWindow(m_window);
        const std::optional<int> status = m_program.waitFor(ExitPatience);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed);
        Check(status.has_value(), "the program ends when its window is closed");
        if (status) {
            std::printf("measured: the program ended %lld ms after its window was closed\n",
                        static_cast<long long>(took.count()));
            Check(WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                  "it ends with exit code 0 (status " + std::to_string(*status) + ")");
        }
    }

private:
    const XServer &m_server;
    ChildProcess &m_program;
    Window m_window;
};

// No recording at all: each key change shows the box, and the next one runs again in full.
void AllMissing(const Session &session)
{
    const auto empty = session.firstGrid();
    session.nextKey();
    session.expectMessageBox("La menor with no recordings");
    const auto la = session.firstGrid();
    Check(la != empty, "the grids show the chosen key");
    Check(session.playersShow({false, false, false}), "no Play is enabled");
    session.nextKey();
    session.expectMessageBox("Mi menor with no recordings");
    Check(session.firstGrid() != la, "the grids follow to the next key");
}

// "La Harm.MID" is a FIFO that nobody writes: the open must not wait for a writer.
void Fifo(const Session &session)
{
    session.nextKey();
    session.expectMessageBox("La menor with a FIFO for La Harm.MID");
    Check(WaitFor([&] {
              return session.playersShow({true, false, true});
          }),
          "the two other recordings of La menor are ready to play");
    const auto la = session.firstGrid();
    session.nextKey();
    Check(WaitFor([&] {
              return session.playersShow({true, true, true});
          }),
          "the next key's three recordings are ready to play");
    session.expectNoMessageBox("Mi menor");
    Check(session.firstGrid() != la, "the grids follow to the next key");
}

// No sound server and no sound card: the recordings open, Play says why nothing sounds.
void NoAudioOutput(const Session &session)
{
    session.nextKey();
    Check(WaitFor([&] {
              return session.playersShow({true, true, true});
          }),
          "La menor's three recordings are ready to play");
    session.expectNoMessageBox("La menor");
    session.pressPlay(0);
    session.expectMessageBox("Play with no audio output");
    Check(session.playersShow({true, true, true}), "the refused Play stays ready");
    const auto la = session.firstGrid();
    session.nextKey();
    Check(WaitFor([&] { return session.firstGrid() != la; }), "the grids follow to the next key");
    Check(WaitFor([&] {
              return session.playersShow({true, true, true});
          }),
          "the next key's three recordings are ready to play");
    session.expectNoMessageBox("Mi menor");
}

// All three forms sounding when the window is closed; the sound reaches the card.
void CloseWhilePlaying(const Session &session, const PacedAudioReader &card)
{
    session.nextKey();
    Check(WaitFor([&] {
              return session.playersShow({true, true, true});
          }),
          "La menor's three recordings are ready to play");
    for (int player = 0; player < 3; ++player)
        session.pressPlay(player);
    Check(WaitFor([&] { return session.playersShow({false, false, false}); }), "all three play");
    Check(WaitFor([&] { return card.soundingBytes() > 0; }), "the sound reaches the card");
    session.expectNoMessageBox("three plays");
    Check(session.playersShow({false, false, false}), "all three still play");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <program> <recordings folder> <case>\n", argv[0]);
        return 2;
    }
    const std::string which = argv[3];
    const Scratch scratch;
    // Sound servers that are not there, so that ALSA is the only way out, with what the test
    // lays down for it.
    ChildProcess::Environment environment{
        {"QT_QPA_PLATFORM", ""},
        {"XDG_RUNTIME_DIR", (scratch.folder / "run").string()},
        {"PULSE_SERVER", "unix:" + (scratch.folder / "run" / "no-pulse").string()},
        {"PIPEWIRE_REMOTE", (scratch.folder / "run" / "no-pipewire").string()},
        {"ALSA_CONFIG_PATH", scratch.alsaConfig("")},
    };
    std::function<void(const Session &)> run;
    std::unique_ptr<PacedAudioReader> card;
    if (which == "all-missing") {
        run = AllMissing;
    } else if (which == "fifo") {
        scratch.copyRecordings(argv[2]);
        fs::remove(scratch.folder / "La Harm.MID");
        mkfifo((scratch.folder / "La Harm.MID").c_str(), 0600);
        run = Fifo;
    } else if (which == "no-audio-output") {
        scratch.copyRecordings(argv[2]);
        run = NoAudioOutput;
    } else if (which == "close-while-playing") {
        scratch.copyRecordings(argv[2]);
        card = std::make_unique<PacedAudioReader>(scratch.folder / "run" / "card");
        environment.back().second = scratch.alsaConfig(card->alsaConfiguration());
        run = [&card](const Session &session) {
            CloseWhilePlaying(session, *card);
        };
    } else {
        std::fprintf(stderr, "unknown case %s\n", which.c_str());
        return 2;
    }

    const XServer server;
    if (!Check(server.isRunning(), "Xvfb starts and the test connects to it"))
        return 1;
    environment.emplace_back("DISPLAY", server.displayName());
    char *const programPath = realpath(argv[1], nullptr);
    if (!Check(programPath != nullptr, std::string("the program ") + argv[1] + " exists"))
        return 1;
    const std::unique_ptr<ChildProcess> program =
        ChildProcess::start({programPath}, scratch.folder.string(), environment);
    std::free(programPath);

    const std::optional<Window> window = server.waitForWindow(Caption, Patience);
    if (Check(window.has_value(), "the window \"" + Caption + "\" is mapped")) {
        const Session session(server, *program, *window);
        run(session);
        session.closeAndExpectExitZero();
        if (card) {
            Check(WaitFor([&] { return !card->writerConnected(); }),
                  "the sound stops: nothing writes to the card any more");
        }
    }
    return failed ? 1 : 0;
}
