#include "fluidsynth_media_service.h"

#include "standard_midi_file.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <fluidsynth.h>
#include <limits>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using SettingsHandle = std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)>;
using SynthHandle = std::unique_ptr<fluid_synth_t, decltype(&delete_fluid_synth)>;
using PlayerHandle = std::unique_ptr<fluid_player_t, decltype(&delete_fluid_player)>;
using DriverHandle = std::unique_ptr<fluid_audio_driver_t, decltype(&delete_fluid_audio_driver)>;

constexpr int SampleRate = 44100;
// A scale recording is a few hundred bytes; anything this large is no recording of ours, and
// reading it whole would stall the window.
constexpr off_t LargestRecording = 1 << 20;
// One synthesizer per player, ready before the first key is chosen.
constexpr std::size_t SpareSynths = 3;
// A scale sounds a few voices at a time (a stereo piano note is two, and a note rings on for a
// while after the next one starts); FluidSynth's 256 would cost each synthesizer 2 MB more.
constexpr int Polyphony = 64;
// General MIDI's program 0, the instrument of the recordings.
constexpr int AcousticGrandPiano = 0;
constexpr int OfflineBlockFrames = 512;
// FluidSynth reads a file at the first block its player sees, 64 frames.
constexpr int CheckBlockFrames = 64;

const char *const SystemSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

// FluidSynth's log is process-wide. While a service exists it goes nowhere (the program writes
// nothing), except that a thread may collect the errors of the calls it makes itself.
thread_local std::vector<std::string> *collectedErrors = nullptr;
std::mutex logMutex;
int logUsers = 0;

void quietLog(int level, const char *message, void *)
{
    if (collectedErrors != nullptr && level <= FLUID_ERR)
        collectedErrors->push_back(message != nullptr ? message : "");
}

void silenceFluidSynthLog()
{
    std::lock_guard lock(logMutex);
    if (logUsers++ > 0)
        return;
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
        fluid_set_log_function(level, quietLog, nullptr);
}

void restoreFluidSynthLog()
{
    std::lock_guard lock(logMutex);
    if (--logUsers > 0)
        return;
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
        fluid_set_log_function(level, fluid_default_log_function, nullptr);
}

bool ok(int fluidResult)
{
    return fluidResult == FLUID_OK;
}

// --- Reading a recording -------------------------------------------------------------------

MediaError readOpenedFile(int descriptor, std::vector<unsigned char> &bytes)
{
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) != 0)
        return MediaError::Unreadable;
    // Checked again on what was really opened: the name may have changed hands since the stat.
    if (!S_ISREG(info.st_mode) || info.st_size > LargestRecording)
        return MediaError::Unreadable;

    // Room for what the stat saw and a byte more, to notice a file that grows while it is read;
    // a buffer of the largest size for every file would keep a megabyte per open recording.
    const auto largest = static_cast<std::size_t>(LargestRecording);
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > largest) // it grew past the limit while we read
                return MediaError::Unreadable;
            bytes.resize(std::min(2 * total, largest + 1));
        }
        const ssize_t count = ::read(descriptor, bytes.data() + total, bytes.size() - total);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return MediaError::Unreadable;
        if (count == 0)
            break;
        total += static_cast<std::size_t>(count);
    }
    bytes.resize(total);
    return MediaError::None;
}

// Reads the whole file without ever blocking on it: folders, FIFOs, devices and anything too
// large are refused before a byte is read.
MediaError readRecording(const std::string &fileName, std::vector<unsigned char> &bytes)
{
    if (fileName.empty())
        return MediaError::FileNotFound;
    struct stat info
    {
    };
    if (::stat(fileName.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG
                   ? MediaError::FileNotFound
                   : MediaError::Unreadable;
    if (!S_ISREG(info.st_mode) || info.st_size > LargestRecording)
        return MediaError::Unreadable;

    const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return errno == ENOENT ? MediaError::FileNotFound : MediaError::Unreadable;
    const MediaError result = readOpenedFile(descriptor, bytes);
    ::close(descriptor);
    return result;
}

int ignoreEvent(void *, fluid_midi_event_t *)
{
    return FLUID_OK;
}

// --- One soundfont for every synthesizer ---------------------------------------------------

// FluidSynth keeps the instruments of a soundfont per synthesizer, and those of a General MIDI
// soundfont take megabytes (FluidR3_GM about 12 MB, TimGM6mb about 8 MB). So one synthesizer
// that never sounds, the library, loads the soundfont once, and each synthesizer that plays
// sees it through a view: a soundfont of its own whose presets start their notes with the
// library's. An instrument's samples are read the first time it sounds and then kept; the
// library selects no preset on its channels, so nothing unloads them. Reading them takes the
// library's lock; the notes of every synthesizer count their uses of them, so notes start,
// end and are cut only under the output's lock (see Synth).
struct Library
{
    SettingsHandle settings{nullptr, &delete_fluid_settings};
    SynthHandle synth{nullptr, &delete_fluid_synth};
    fluid_sfont_t *font = nullptr; // owned by synth
    int fontId = FLUID_FAILED;
};

struct SoundFontView;

struct ViewPreset
{
    SoundFontView *owner = nullptr;
    fluid_preset_t *shown = nullptr; // the library's
    std::unique_ptr<fluid_preset_t, decltype(&delete_fluid_preset)> preset{nullptr,
                                                                           &delete_fluid_preset};
    bool pinned = false;
};

// Touched only under the lock of the synthesizer that holds the view.
struct SoundFontView
{
    const Library *library = nullptr;
    std::map<std::pair<int, int>, std::unique_ptr<ViewPreset>> presets; // by bank and program
    // FluidSynth numbers the notes a synthesizer starts, from zero on, and tells its voices
    // apart by note (exclusive classes, the sostenuto pedal). Every note of the synthesizer
    // starts here, so this count keeps that numbering.
    unsigned int nextNote = 0;
};

ViewPreset &viewPreset(fluid_preset_t *preset)
{
    return *static_cast<ViewPreset *>(fluid_preset_get_data(preset));
}

SoundFontView &soundFontView(fluid_sfont_t *font)
{
    return *static_cast<SoundFontView *>(fluid_sfont_get_data(font));
}

const char *presetName(fluid_preset_t *preset)
{
    return fluid_preset_get_name(viewPreset(preset).shown);
}

int presetBank(fluid_preset_t *preset)
{
    return fluid_preset_get_banknum(viewPreset(preset).shown);
}

int presetProgram(fluid_preset_t *preset)
{
    return fluid_preset_get_num(viewPreset(preset).shown);
}

int startNote(fluid_preset_t *preset, fluid_synth_t *synth, int channel, int key, int velocity)
{
    ViewPreset &view = viewPreset(preset);
    const Library &library = *view.owner->library;
    if (!view.pinned) {
        if (!ok(fluid_synth_pin_preset(library.synth.get(), library.fontId,
                                       fluid_preset_get_banknum(view.shown),
                                       fluid_preset_get_num(view.shown))))
            return FLUID_FAILED;
        view.pinned = true;
    }
    return fluid_synth_start(synth, view.owner->nextNote++, view.shown, 0, channel, key, velocity);
}

const char *viewName(fluid_sfont_t *font)
{
    return fluid_sfont_get_name(soundFontView(font).library->font);
}

fluid_preset_t *viewPresetFor(fluid_sfont_t *font, int bank, int program)
{
    SoundFontView &view = soundFontView(font);
    if (const auto made = view.presets.find({bank, program}); made != view.presets.end())
        return made->second->preset.get();
    // Only presets the soundfont has are made: a file's bank changes make no garbage.
    fluid_preset_t *shown = fluid_sfont_get_preset(view.library->font, bank, program);
    if (shown == nullptr)
        return nullptr;
    auto preset = std::make_unique<ViewPreset>();
    preset->owner = &view;
    preset->shown = shown;
    preset->preset.reset(new_fluid_preset(font, presetName, presetBank, presetProgram, startNote,
                                          delete_fluid_preset));
    if (!preset->preset || !ok(fluid_preset_set_data(preset->preset.get(), preset.get())))
        return nullptr;
    return view.presets.emplace(std::pair(bank, program), std::move(preset))
        .first->second->preset.get();
}

int deleteView(fluid_sfont_t *font)
{
    delete &soundFontView(font);
    return delete_fluid_sfont(font);
}

// A view of the library's soundfont, to be given to a synthesizer, which then deletes it.
fluid_sfont_t *newView(const Library &library)
{
    auto view = std::make_unique<SoundFontView>();
    view->library = &library;
    fluid_sfont_t *font = new_fluid_sfont(viewName, viewPresetFor, nullptr, nullptr, deleteView);
    if (font == nullptr)
        return nullptr;
    if (!ok(fluid_sfont_set_data(font, view.get()))) {
        delete_fluid_sfont(font);
        return nullptr;
    }
    view.release();
    return font;
}

} // namespace

// --- The service ---------------------------------------------------------------------------

struct FluidSynthMediaService::Impl
{
    enum class SynthState { Preparing, Ready, NoSoundFont, Broken };

    // A synthesizer with its view of the library. The loader thread alone touches it while
    // Preparing; afterwards the device that holds it does. Its notes count their uses of the
    // library's samples, as the notes the output renders do, so it is reset and deleted under
    // the output's lock.
    struct Synth
    {
        explicit Synth(std::mutex &renderLock) : renderLock(renderLock) { }
        ~Synth()
        {
            std::lock_guard lock(renderLock);
            synth.reset();
        }
        Synth(const Synth &) = delete;
        Synth &operator=(const Synth &) = delete;

        std::mutex &renderLock;
        SettingsHandle settings{nullptr, &delete_fluid_settings};
        SynthHandle synth{nullptr, &delete_fluid_synth};
        SynthState state = SynthState::Preparing; // guarded by loaderMutex
    };

    struct Device
    {
        Impl *service = nullptr;
        std::vector<unsigned char> bytes;
        std::int64_t length = 0; // ticks, as FluidSynth counts them
        std::shared_ptr<Synth> synth;
        // Guarded by renderMutex. A player plays one pass from the start; rewinding replaces it.
        PlayerHandle player{nullptr, &delete_fluid_player};
        std::function<void()> notice;
        bool rendered = false; // has sounded, so the output renders its synthesizer
        // When the play() that started the play in progress was called, until it sounds.
        std::optional<std::chrono::steady_clock::time_point> firstSoundAwaited;
        // Changed under renderMutex; read anywhere.
        std::atomic<bool> playing{false};
        std::atomic<std::int64_t> position{0};
    };

    explicit Impl(Options chosen);
    ~Impl();

    // Loading soundfonts in the background.
    void startLoader();
    void loaderLoop();
    SynthState loadLibrary();
    SynthState prepare(Synth &synth);
    std::vector<std::string> soundFontCandidates(fluid_settings_t *settings) const;
    std::shared_ptr<Synth> takeSynth();
    void giveBack(std::shared_ptr<Synth> synth, bool used);
    SynthState waitUntilPrepared(const Synth &synth);

    // Opening.
    bool createCheckSynth();
    MediaError checkWithFluidSynth(std::span<const unsigned char> bytes, std::int64_t &ticks);
    MediaDevice nextDevice();
    Device *find(MediaDevice device) const;

    // Playing.
    MediaError startPlay(Device &device, std::function<void()> &notice,
                         std::function<void()> &superseded,
                         std::chrono::steady_clock::time_point requested);
    static int onTick(void *data, int tick);
    void deliver(std::function<void()> notice);
    bool anyPlaying() const;
    void closeOutputWhenIdle();

    // The output.
    bool openOutput();
    void closeOutput();
    static int renderCallback(void *data, int len, int nfx, float *fx[], int nout, float *out[]);
    bool mix(int frames, float *left, float *right);
    bool mixAwaitingFirstSound(Device &device, int frames, float *left, float *right);
    void offlineLoop();

    const Options options;

    std::mutex loaderMutex;
    std::condition_variable loaderChanged;
    std::deque<std::shared_ptr<Synth>> loaderJobs;
    bool loaderStopping = false;
    std::string loadedSoundFont;
    Library library; // loaded by the loader thread before it readies any synthesizer
    std::thread loader;
    std::vector<std::shared_ptr<Synth>> spareSynths; // the service's thread only

    // Held by the output while it renders; the map changes only on the service's thread, which
    // may therefore read it without the lock.
    mutable std::mutex renderMutex;
    std::map<MediaDevice, std::shared_ptr<Device>> devices;
    MediaDevice lastDevice = 0;

    SettingsHandle driverSettings{nullptr, &delete_fluid_settings};
    DriverHandle driver{nullptr, &delete_fluid_audio_driver};
    std::thread offlineOutput;
    std::atomic<bool> offlineStopping{false};
    std::string driverName;
    // Guarded by renderMutex: the render's own buffers for a play not heard yet, and how long
    // the last one took to sound.
    std::vector<float> firstSoundLeft;
    std::vector<float> firstSoundRight;
    std::optional<std::chrono::nanoseconds> playLatency;

    SettingsHandle checkSettings{nullptr, &delete_fluid_settings};
    SynthHandle checkSynth{nullptr, &delete_fluid_synth};

    // Lives on the thread that created the service: notices are delivered there.
    std::unique_ptr<QObject> home;
    QTimer *closeTimer = nullptr;
};

FluidSynthMediaService::Impl::Impl(Options chosen)
    : options(std::move(chosen)), home(std::make_unique<QObject>())
{
    silenceFluidSynthLog();
    closeTimer = new QTimer(home.get());
    closeTimer->setSingleShot(true);
    closeTimer->setInterval(options.closeOutputAfter);
    QObject::connect(closeTimer, &QTimer::timeout, home.get(), [this] {
        if (!anyPlaying())
            closeOutput();
    });

    // The first synthesizer of the process sets up FluidSynth's shared tables, and a second
    // one created meanwhile on another thread may copy them half-made (its notes then ignore
    // their velocity). So one is made here, before the loader thread makes the others.
    createCheckSynth();
    for (std::size_t i = 0; i < SpareSynths; ++i) {
        spareSynths.push_back(std::make_shared<Synth>(renderMutex));
        loaderJobs.push_back(spareSynths.back());
    }
    // The soundfont loads once the event loop runs, that is once the window is up, so that it
    // takes no processor from the window's start; a service asked for a recording before then
    // starts it at once.
    QTimer::singleShot(0, home.get(), [this] { startLoader(); });
}

FluidSynthMediaService::Impl::~Impl()
{
    closeTimer->stop();
    closeOutput();
    {
        std::lock_guard lock(loaderMutex);
        loaderStopping = true;
    }
    loaderChanged.notify_all();
    if (loader.joinable())
        loader.join();

    // Players before their synthesizers, synthesizers before their settings and the library
    // they play from.
    devices.clear();
    spareSynths.clear();
    loaderJobs.clear();
    library.synth.reset();
    library.settings.reset();
    checkSynth.reset();
    checkSettings.reset();
    home.reset(); // drops notices not yet delivered
    restoreFluidSynthLog();
}

// --- Soundfonts and synthesizers -----------------------------------------------------------

void FluidSynthMediaService::Impl::loaderLoop()
{
    std::unique_lock lock(loaderMutex);
    for (;;) {
        loaderChanged.wait(lock, [this] { return loaderStopping || !loaderJobs.empty(); });
        if (loaderStopping)
            return;
        std::shared_ptr<Synth> synth = loaderJobs.front();
        loaderJobs.pop_front();
        lock.unlock();
        const SynthState state = prepare(*synth);
        lock.lock();
        synth->state = state;
        loaderChanged.notify_all();
    }
}

// The soundfont, read once for every synthesizer: the first of the candidates that FluidSynth
// loads. The library itself never sounds, so it needs no voices to speak of, and it selects no
// preset: the piano, which the recordings play, is read now, any other instrument when it
// first sounds.
FluidSynthMediaService::Impl::SynthState FluidSynthMediaService::Impl::loadLibrary()
{
    if (library.font != nullptr)
        return SynthState::Ready;
    library.synth.reset();
    library.settings.reset(new_fluid_settings());
    fluid_settings_t *settings = library.settings.get();
    if (settings == nullptr
        // Only the samples of the instruments in use are read: a large soundfont costs little.
        || !ok(fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1))
        || !ok(fluid_settings_setint(settings, "synth.lock-memory", 0))
        || !ok(fluid_settings_setint(settings, "synth.polyphony", 1))
        || !ok(fluid_settings_setint(settings, "synth.reverb.active", 0))
        || !ok(fluid_settings_setint(settings, "synth.chorus.active", 0)))
        return SynthState::Broken;
    library.synth.reset(new_fluid_synth(settings));
    if (!library.synth)
        return SynthState::Broken;

    for (const std::string &candidate : soundFontCandidates(settings)) {
        if (!fluid_is_soundfont(candidate.c_str()))
            continue;
        const int id = fluid_synth_sfload(library.synth.get(), candidate.c_str(), 0);
        if (id == FLUID_FAILED)
            continue;
        library.font = fluid_synth_get_sfont_by_id(library.synth.get(), id);
        if (library.font == nullptr)
            return SynthState::Broken;
        library.fontId = id;
        // A soundfont without a piano there still plays its other instruments.
        static_cast<void>(fluid_synth_pin_preset(library.synth.get(), id, 0, AcousticGrandPiano));
        std::lock_guard lock(loaderMutex);
        loadedSoundFont = candidate;
        return SynthState::Ready;
    }
    return SynthState::NoSoundFont;
}

FluidSynthMediaService::Impl::SynthState FluidSynthMediaService::Impl::prepare(Synth &synth)
{
    if (synth.synth) {
        // A synthesizer given back by a closed recording: silence it and forget its channels.
        std::lock_guard lock(renderMutex);
        if (!ok(fluid_synth_all_sounds_off(synth.synth.get(), -1))
            || !ok(fluid_synth_system_reset(synth.synth.get())))
            return SynthState::Broken;
        return SynthState::Ready;
    }
    if (const SynthState loaded = loadLibrary(); loaded != SynthState::Ready)
        return loaded;

    synth.settings.reset(new_fluid_settings());
    fluid_settings_t *settings = synth.settings.get();
    if (settings == nullptr || !ok(fluid_settings_setnum(settings, "synth.sample-rate", SampleRate))
        || !ok(fluid_settings_setnum(settings, "synth.gain", options.gain))
        || !ok(fluid_settings_setint(settings, "synth.polyphony", Polyphony))
        // Reset at the end of a file, the synthesizer would cut its last note short.
        || !ok(fluid_settings_setint(settings, "player.reset-synth", 0)))
        return SynthState::Broken;
    synth.synth.reset(new_fluid_synth(settings));
    if (!synth.synth)
        return SynthState::Broken;
    fluid_sfont_t *view = newView(library);
    if (view == nullptr)
        return SynthState::Broken;
    if (fluid_synth_add_sfont(synth.synth.get(), view) == FLUID_FAILED) {
        deleteView(view);
        return SynthState::Broken;
    }
    return SynthState::Ready;
}

std::vector<std::string>
FluidSynthMediaService::Impl::soundFontCandidates(fluid_settings_t *settings) const
{
    if (!options.soundFonts.empty())
        return options.soundFonts;
    std::vector<std::string> candidates;
    char *configured = nullptr;
    if (ok(fluid_settings_dupstr(settings, "synth.default-soundfont", &configured))
        && configured != nullptr && *configured != '\0')
        candidates.emplace_back(configured);
    fluid_free(configured);
    for (const char *file : SystemSoundFonts)
        if (std::find(candidates.begin(), candidates.end(), file) == candidates.end())
            candidates.emplace_back(file);
    return candidates;
}

void FluidSynthMediaService::Impl::startLoader()
{
    if (!loader.joinable())
        loader = std::thread(&Impl::loaderLoop, this);
}

std::shared_ptr<FluidSynthMediaService::Impl::Synth> FluidSynthMediaService::Impl::takeSynth()
{
    startLoader();
    if (!spareSynths.empty()) {
        std::shared_ptr<Synth> synth = std::move(spareSynths.back());
        spareSynths.pop_back();
        return synth;
    }
    auto synth = std::make_shared<Synth>(renderMutex);
    {
        std::lock_guard lock(loaderMutex);
        loaderJobs.push_back(synth);
    }
    loaderChanged.notify_all();
    return synth;
}

void FluidSynthMediaService::Impl::giveBack(std::shared_ptr<Synth> synth, bool used)
{
    if (spareSynths.size() >= SpareSynths)
        return; // the loader may still hold it; the last holder deletes it
    {
        std::lock_guard lock(loaderMutex);
        // One that found no soundfont is dropped, so that a later open tries again.
        if (synth->state == SynthState::NoSoundFont || synth->state == SynthState::Broken)
            return;
        if (synth->state == SynthState::Ready && used) {
            synth->state = SynthState::Preparing;
            loaderJobs.push_back(synth);
        }
    }
    loaderChanged.notify_all();
    spareSynths.push_back(std::move(synth));
}

FluidSynthMediaService::Impl::SynthState
FluidSynthMediaService::Impl::waitUntilPrepared(const Synth &synth)
{
    std::unique_lock lock(loaderMutex);
    loaderChanged.wait(lock, [&synth] { return synth.state != SynthState::Preparing; });
    return synth.state;
}

// --- Opening -------------------------------------------------------------------------------

// A synthesizer with no soundfont, no effects and no voices to speak of: it only drives the
// player that reads a file.
bool FluidSynthMediaService::Impl::createCheckSynth()
{
    checkSettings.reset(new_fluid_settings());
    if (!checkSettings || !ok(fluid_settings_setint(checkSettings.get(), "synth.reverb.active", 0))
        || !ok(fluid_settings_setint(checkSettings.get(), "synth.chorus.active", 0))
        || !ok(fluid_settings_setint(checkSettings.get(), "synth.polyphony", 1)))
        return false;
    checkSynth.reset(new_fluid_synth(checkSettings.get()));
    return checkSynth != nullptr;
}

// FluidSynth accepts almost any file when it is added and fails only at the first block it
// renders, so the file is played for one block on a synthesizer of its own that makes no
// sound, and its errors are collected on this thread.
MediaError FluidSynthMediaService::Impl::checkWithFluidSynth(std::span<const unsigned char> bytes,
                                                             std::int64_t &ticks)
{
    if (!checkSynth && !createCheckSynth())
        return MediaError::Unreadable;

    std::vector<std::string> errors;
    collectedErrors = &errors;
    PlayerHandle player(new_fluid_player(checkSynth.get()), &delete_fluid_player);
    bool played = player
                  && ok(fluid_player_set_playback_callback(player.get(), ignoreEvent, nullptr))
                  && ok(fluid_player_add_mem(player.get(), bytes.data(), bytes.size()))
                  && ok(fluid_player_play(player.get()));
    if (played) {
        float left[CheckBlockFrames];
        float right[CheckBlockFrames];
        played = ok(
            fluid_synth_write_float(checkSynth.get(), CheckBlockFrames, left, 0, 1, right, 0, 1));
    }
    collectedErrors = nullptr;
    if (!played)
        return MediaError::Unreadable;
    // A file FluidSynth cannot read ends its play at once.
    if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING || !errors.empty())
        return MediaError::NotMidiFile;
    ticks = fluid_player_get_total_ticks(player.get());
    return MediaError::None;
}

MediaDevice FluidSynthMediaService::Impl::nextDevice()
{
    do
        lastDevice = lastDevice == std::numeric_limits<MediaDevice>::max() ? 1 : lastDevice + 1;
    while (devices.contains(lastDevice));
    return lastDevice;
}

FluidSynthMediaService::Impl::Device *FluidSynthMediaService::Impl::find(MediaDevice device) const
{
    const auto found = devices.find(device);
    return found == devices.end() ? nullptr : found->second.get();
}

// --- Playing -------------------------------------------------------------------------------

MediaError FluidSynthMediaService::Impl::startPlay(Device &device, std::function<void()> &notice,
                                                   std::function<void()> &superseded,
                                                   std::chrono::steady_clock::time_point requested)
{
    std::lock_guard lock(renderMutex);
    if (device.playing) {
        superseded = std::exchange(device.notice, std::move(notice));
        return MediaError::None;
    }
    if (device.position >= device.length) {
        superseded = std::move(notice); // nothing left to play: the play ends where it starts
        return MediaError::None;
    }
    if (!device.player) {
        fluid_synth_t *synth = device.synth->synth.get();
        PlayerHandle player(new_fluid_player(synth), &delete_fluid_player);
        if (!player || !ok(fluid_player_set_tick_callback(player.get(), &Impl::onTick, &device))
            || !ok(fluid_player_add_mem(player.get(), device.bytes.data(), device.bytes.size())))
            return MediaError::Unreadable;
        device.player = std::move(player);
    }
    if (!ok(fluid_player_play(device.player.get())))
        return MediaError::Unreadable;
    device.notice = std::move(notice);
    device.rendered = true;
    device.firstSoundAwaited = requested;
    playLatency.reset();
    device.playing = true;
    return MediaError::None;
}

// Runs on the output's thread, inside the render, with renderMutex held. The player reports
// the end of its file only seconds after the last event; the tick reaching the length is the
// end the user hears.
int FluidSynthMediaService::Impl::onTick(void *data, int tick)
{
    auto *device = static_cast<Device *>(data);
    if (!device->playing)
        return FLUID_OK;
    device->position = std::min<std::int64_t>(tick, device->length);
    if (tick >= device->length) {
        device->playing = false;
        device->service->deliver(std::exchange(device->notice, nullptr));
    }
    return FLUID_OK;
}

void FluidSynthMediaService::Impl::deliver(std::function<void()> notice)
{
    QMetaObject::invokeMethod(
        home.get(),
        [this, notice = std::move(notice)] {
            closeOutputWhenIdle();
            if (notice)
                notice();
        },
        Qt::QueuedConnection);
}

bool FluidSynthMediaService::Impl::anyPlaying() const
{
    return std::any_of(devices.begin(), devices.end(),
                       [](const auto &entry) { return entry.second->playing.load(); });
}

void FluidSynthMediaService::Impl::closeOutputWhenIdle()
{
    if (!anyPlaying() && (driver || offlineOutput.joinable()))
        closeTimer->start();
}

// --- The output ----------------------------------------------------------------------------

bool FluidSynthMediaService::Impl::openOutput()
{
    closeTimer->stop();
    if (driver || offlineOutput.joinable())
        return true;
    if (options.offline) {
        offlineStopping = false;
        offlineOutput = std::thread(&Impl::offlineLoop, this);
        driverName = "offline";
        return true;
    }
    for (const std::string &name : options.audioDrivers) {
        SettingsHandle settings(new_fluid_settings(), &delete_fluid_settings);
        if (!settings || !ok(fluid_settings_setstr(settings.get(), "audio.driver", name.c_str()))
            || !ok(fluid_settings_setnum(settings.get(), "synth.sample-rate", SampleRate)))
            continue;
        DriverHandle opened(new_fluid_audio_driver2(settings.get(), &Impl::renderCallback, this),
                            &delete_fluid_audio_driver);
        if (!opened)
            continue;
        driverSettings = std::move(settings);
        driver = std::move(opened);
        driverName = name;
        return true;
    }
    return false;
}

// Joins the output's thread, so it must not be called with renderMutex held.
void FluidSynthMediaService::Impl::closeOutput()
{
    driver.reset();
    driverSettings.reset();
    if (offlineOutput.joinable()) {
        offlineStopping = true;
        offlineOutput.join();
    }
    driverName.clear();
}

int FluidSynthMediaService::Impl::renderCallback(void *data, int len, int, float *[], int nout,
                                                 float *out[])
{
    if (nout < 2 || len < 0)
        return FLUID_FAILED;
    // Drivers may hand over input rather than silence.
    for (int channel = 0; channel < nout; ++channel)
        std::fill_n(out[channel], len, 0.0f);
    return static_cast<Impl *>(data)->mix(len, out[0], out[1]) ? FLUID_OK : FLUID_FAILED;
}

// Adds every sounding synthesizer, its reverb and chorus included, into the two buffers.
bool FluidSynthMediaService::Impl::mix(int frames, float *left, float *right)
{
    float *buffers[] = {left, right};
    bool rendered = true;
    std::lock_guard lock(renderMutex);
    for (const auto &[id, device] : devices) {
        if (!device->rendered)
            continue;
        if (device->firstSoundAwaited)
            rendered = mixAwaitingFirstSound(*device, frames, left, right) && rendered;
        else
            rendered =
                ok(fluid_synth_process(device->synth->synth.get(), frames, 2, buffers, 2, buffers))
                && rendered;
    }
    return rendered;
}

// A play that has not sounded yet is rendered apart, to tell the first block in which it does.
bool FluidSynthMediaService::Impl::mixAwaitingFirstSound(Device &device, int frames, float *left,
                                                         float *right)
{
    const auto count = static_cast<std::size_t>(frames);
    firstSoundLeft.assign(count, 0.0f);
    firstSoundRight.assign(count, 0.0f);
    float *own[] = {firstSoundLeft.data(), firstSoundRight.data()};
    if (!ok(fluid_synth_process(device.synth->synth.get(), frames, 2, own, 2, own)))
        return false;
    const auto silent = [](const std::vector<float> &samples) {
        return std::all_of(samples.begin(), samples.end(),
                           [](float sample) { return sample == 0.0f; });
    };
    if (!silent(firstSoundLeft) || !silent(firstSoundRight)) {
        playLatency = std::chrono::steady_clock::now() - *device.firstSoundAwaited;
        device.firstSoundAwaited.reset();
    }
    for (std::size_t i = 0; i < count; ++i) {
        left[i] += firstSoundLeft[i];
        right[i] += firstSoundRight[i];
    }
    return true;
}

void FluidSynthMediaService::Impl::offlineLoop()
{
    std::vector<float> left(OfflineBlockFrames);
    std::vector<float> right(OfflineBlockFrames);
    const auto start = std::chrono::steady_clock::now();
    const double framesPerSecond = SampleRate * options.offlineSpeed;
    double frames = 0;
    while (!offlineStopping) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        mix(OfflineBlockFrames, left.data(), right.data());
        if (options.offlineSink)
            options.offlineSink(left, right);
        frames += OfflineBlockFrames;
        if (framesPerSecond > 0)
            std::this_thread::sleep_until(
                start
                + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(frames / framesPerSecond)));
    }
}

// --- The interface -------------------------------------------------------------------------

FluidSynthMediaService::FluidSynthMediaService() : FluidSynthMediaService(Options{}) { }

FluidSynthMediaService::FluidSynthMediaService(Options options)
    : impl_(std::make_unique<Impl>(std::move(options)))
{ }

FluidSynthMediaService::~FluidSynthMediaService() = default;

MediaError FluidSynthMediaService::open(const std::string &fileName, MediaDevice &device)
{
    auto opened = std::make_shared<Impl::Device>();
    if (const MediaError error = readRecording(fileName, opened->bytes); error != MediaError::None)
        return error;
    if (!IsStandardMidiFile(opened->bytes))
        return MediaError::NotMidiFile;
    if (const MediaError error = impl_->checkWithFluidSynth(opened->bytes, opened->length);
        error != MediaError::None)
        return error;

    opened->service = impl_.get();
    opened->synth = impl_->takeSynth();
    const MediaDevice id = impl_->nextDevice();
    {
        std::lock_guard lock(impl_->renderMutex);
        impl_->devices.emplace(id, std::move(opened));
    }
    device = id;
    return MediaError::None;
}

MediaError FluidSynthMediaService::close(MediaDevice device)
{
    const auto found = impl_->devices.find(device);
    if (found == impl_->devices.end())
        return MediaError::NoDevice;
    std::shared_ptr<Impl::Device> closing = found->second;
    std::function<void()> notice;
    {
        // Once out of the map the output no longer renders it: its sound stops at once.
        std::lock_guard lock(impl_->renderMutex);
        impl_->devices.erase(found);
        if (closing->playing.exchange(false))
            notice = std::exchange(closing->notice, nullptr);
    }
    if (notice)
        impl_->deliver(std::move(notice));
    closing->player.reset();
    impl_->giveBack(std::move(closing->synth), closing->rendered);
    impl_->closeOutputWhenIdle();
    return MediaError::None;
}

MediaError FluidSynthMediaService::play(MediaDevice device, std::function<void()> endNotice)
{
    const auto requested = std::chrono::steady_clock::now();
    Impl::Device *playing = impl_->find(device);
    if (playing == nullptr)
        return MediaError::NoDevice;
    switch (impl_->waitUntilPrepared(*playing->synth)) {
    case Impl::SynthState::Ready:
        break;
    case Impl::SynthState::NoSoundFont:
        return MediaError::NoSoundFont;
    case Impl::SynthState::Preparing:
    case Impl::SynthState::Broken:
        return MediaError::NoAudioOutput;
    }
    if (!impl_->openOutput())
        return MediaError::NoAudioOutput;

    std::function<void()> superseded;
    const MediaError error = impl_->startPlay(*playing, endNotice, superseded, requested);
    if (superseded)
        impl_->deliver(std::move(superseded));
    if (error != MediaError::None)
        impl_->closeOutputWhenIdle();
    return error;
}

MediaMode FluidSynthMediaService::mode(MediaDevice device) const
{
    const Impl::Device *found = impl_->find(device);
    if (found == nullptr)
        return MediaMode::NotReady;
    return found->playing ? MediaMode::Playing : MediaMode::Stopped;
}

std::int64_t FluidSynthMediaService::position(MediaDevice device) const
{
    const Impl::Device *found = impl_->find(device);
    return found == nullptr ? 0 : found->position.load();
}

std::int64_t FluidSynthMediaService::length(MediaDevice device) const
{
    const Impl::Device *found = impl_->find(device);
    return found == nullptr ? 0 : found->length;
}

MediaError FluidSynthMediaService::seekToStart(MediaDevice device)
{
    Impl::Device *found = impl_->find(device);
    if (found == nullptr)
        return MediaError::NoDevice;
    std::function<void()> notice;
    {
        std::lock_guard lock(impl_->renderMutex);
        if (found->playing.exchange(false))
            notice = std::exchange(found->notice, nullptr);
        if (found->player) {
            // Notes still held are released rather than cut, so the stop makes no click. This
            // fails only for a channel out of range, and -1 means all of them.
            static_cast<void>(fluid_synth_all_notes_off(found->synth->synth.get(), -1));
            found->player.reset();
        }
        found->firstSoundAwaited.reset();
        found->position = 0;
    }
    if (notice)
        impl_->deliver(std::move(notice));
    impl_->closeOutputWhenIdle();
    return MediaError::None;
}

bool FluidSynthMediaService::canPlay(MediaDevice device) const
{
    return impl_->find(device) != nullptr;
}

std::optional<std::string> FluidSynthMediaService::errorText(MediaError error,
                                                             const std::string &fileName) const
{
    const std::string quoted = "\"" + fileName + "\"";
    switch (error) {
    case MediaError::FileNotFound:
        return "A gravação " + quoted + " não foi encontrada.";
    case MediaError::NotMidiFile:
        return "A gravação " + quoted + " não é um arquivo MIDI ou está danificada.";
    case MediaError::Unreadable:
        return "A gravação " + quoted
               + " não pode ser lida (pasta, dispositivo, sem permissão ou grande demais).";
    case MediaError::NoSoundFont:
        return "Nenhum banco de sons General MIDI (SoundFont) está instalado para tocar " + quoted
               + ".";
    case MediaError::NoAudioOutput:
        return "Nenhuma saída de áudio disponível para tocar " + quoted + ".";
    case MediaError::NoDevice:
        return "A gravação " + quoted + " não está aberta.";
    case MediaError::None:
        break;
    }
    return std::nullopt;
}

std::string FluidSynthMediaService::audioDriver() const
{
    return impl_->driverName;
}

std::string FluidSynthMediaService::soundFont() const
{
    std::lock_guard lock(impl_->loaderMutex);
    return impl_->loadedSoundFont;
}

bool FluidSynthMediaService::isOutputOpen() const
{
    return impl_->driver || impl_->offlineOutput.joinable();
}

std::optional<std::chrono::nanoseconds> FluidSynthMediaService::lastPlayLatency() const
{
    std::lock_guard lock(impl_->renderMutex);
    return impl_->playLatency;
}
