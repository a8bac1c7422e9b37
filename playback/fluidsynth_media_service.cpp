#include "fluidsynth_media_service.h"

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

    bytes.resize(static_cast<std::size_t>(LargestRecording) + 1);
    std::size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t count = ::read(descriptor, bytes.data() + total, bytes.size() - total);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return MediaError::Unreadable;
        if (count == 0)
            break;
        total += static_cast<std::size_t>(count);
    }
    if (total > static_cast<std::size_t>(LargestRecording)) // it grew while we read
        return MediaError::Unreadable;
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

// --- Checking a standard MIDI file ---------------------------------------------------------

// The file is walked front to back with a cursor; every read is bounds-checked and fails
// rather than run past the end.
using Bytes = std::span<const unsigned char>;

bool readNumber(Bytes data, std::size_t &at, std::size_t count, std::uint32_t &value)
{
    if (data.size() - at < count)
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | data[at++];
    return true;
}

bool readVariableLength(Bytes data, std::size_t &at, std::uint32_t &value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (at == data.size())
            return false;
        const unsigned char byte = data[at++];
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80u) == 0)
            return true;
    }
    return false; // longer than the format allows
}

bool skipBytes(Bytes data, std::size_t &at, std::uint32_t count)
{
    if (data.size() - at < count)
        return false;
    at += count;
    return true;
}

// FluidSynth refuses these meta events unless their data has exactly this length.
bool metaLengthFits(std::uint32_t type, std::uint32_t length)
{
    switch (type) {
    case 0x2F: // end of track
        return length == 0;
    case 0x51: // tempo
        return length == 3;
    case 0x54: // SMPTE offset
        return length == 5;
    case 0x58: // time signature
        return length == 4;
    case 0x59: // key signature
        return length == 2;
    default:
        return true;
    }
}

bool isTrackChunk(Bytes track)
{
    std::size_t at = 0;
    std::uint32_t runningStatus = 0;
    while (at < track.size()) {
        std::uint32_t delta = 0;
        std::uint32_t status = 0;
        if (!readVariableLength(track, at, delta) || at == track.size())
            return false;
        if (track[at] & 0x80u) {
            status = track[at++];
        } else {
            if (runningStatus == 0)
                return false; // a data byte with no status before it
            status = runningStatus;
        }

        if (status == 0xFF) {
            std::uint32_t type = 0;
            std::uint32_t length = 0;
            if (!readNumber(track, at, 1, type) || !readVariableLength(track, at, length)
                || !metaLengthFits(type, length) || !skipBytes(track, at, length))
                return false;
            runningStatus = 0;
            if (type == 0x2F)
                return true; // whatever follows the end of the track is not played
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!readVariableLength(track, at, length) || !skipBytes(track, at, length))
                return false;
            runningStatus = 0;
        } else if (status > 0xF0) {
            return false; // real-time and system common messages have no place in a file
        } else {
            const std::uint32_t kind = status & 0xF0u;
            const std::size_t dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            for (std::size_t i = 0; i < dataBytes; ++i, ++at)
                if (at == track.size() || (track[at] & 0x80u))
                    return false;
            runningStatus = status;
        }
    }
    return true; // a missing end-of-track event is tolerated, as players do
}

// The structure of a standard MIDI file, checked before FluidSynth sees it: a header FluidSynth
// can play (formats 0 to 2, ticks per quarter note), and tracks whose chunks lie within the file
// and hold well-formed events.
bool isStandardMidiFile(Bytes bytes)
{
    constexpr std::uint32_t MThd = 0x4D546864;
    constexpr std::uint32_t MTrk = 0x4D54726B;
    std::size_t at = 0;
    std::uint32_t id = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t format = 0;
    std::uint32_t tracks = 0;
    std::uint32_t division = 0;
    if (!readNumber(bytes, at, 4, id) || id != MThd || !readNumber(bytes, at, 4, headerLength)
        || headerLength != 6 || !readNumber(bytes, at, 2, format)
        || !readNumber(bytes, at, 2, tracks) || !readNumber(bytes, at, 2, division))
        return false;
    if (format > 2 || tracks == 0 || (format == 0 && tracks != 1))
        return false;
    if (division == 0 || (division & 0x8000u)) // frame-based timing is not played
        return false;

    for (std::uint32_t found = 0; found < tracks;) {
        std::uint32_t length = 0;
        if (!readNumber(bytes, at, 4, id) || !readNumber(bytes, at, 4, length)
            || bytes.size() - at < length)
            return false;
        if (id == MTrk) {
            if (!isTrackChunk(bytes.subspan(at, length)))
                return false;
            ++found;
        }
        at += length; // chunks of other kinds are skipped, as the format asks
    }
    return true;
}

int ignoreEvent(void *, fluid_midi_event_t *)
{
    return FLUID_OK;
}

} // namespace

// --- The service ---------------------------------------------------------------------------

struct FluidSynthMediaService::Impl
{
    enum class SynthState { Preparing, Ready, NoSoundFont, Broken };

    // A synthesizer with its soundfont. The loader thread alone touches it while Preparing;
    // afterwards the device that holds it does.
    struct Synth
    {
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
        // Changed under renderMutex; read anywhere.
        std::atomic<bool> playing{false};
        std::atomic<std::int64_t> position{0};
    };

    explicit Impl(Options chosen);
    ~Impl();

    // Loading soundfonts in the background.
    void loaderLoop();
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
                         std::function<void()> &superseded);
    static int onTick(void *data, int tick);
    void deliver(std::function<void()> notice);
    bool anyPlaying() const;
    void closeOutputWhenIdle();

    // The output.
    bool openOutput();
    void closeOutput();
    static int renderCallback(void *data, int len, int nfx, float *fx[], int nout, float *out[]);
    bool mix(int frames, float *left, float *right);
    void offlineLoop();

    const Options options;

    std::mutex loaderMutex;
    std::condition_variable loaderChanged;
    std::deque<std::shared_ptr<Synth>> loaderJobs;
    bool loaderStopping = false;
    std::string loadedSoundFont;
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
        spareSynths.push_back(std::make_shared<Synth>());
        loaderJobs.push_back(spareSynths.back());
    }
    loader = std::thread(&Impl::loaderLoop, this);
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
    loader.join();

    // Players before their synthesizers, synthesizers before their settings.
    devices.clear();
    spareSynths.clear();
    loaderJobs.clear();
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

FluidSynthMediaService::Impl::SynthState FluidSynthMediaService::Impl::prepare(Synth &synth)
{
    if (synth.synth) {
        // A synthesizer given back by a closed recording: silence it and forget its channels.
        if (!ok(fluid_synth_all_sounds_off(synth.synth.get(), -1))
            || !ok(fluid_synth_system_reset(synth.synth.get())))
            return SynthState::Broken;
        return SynthState::Ready;
    }

    synth.settings.reset(new_fluid_settings());
    fluid_settings_t *settings = synth.settings.get();
    if (settings == nullptr || !ok(fluid_settings_setnum(settings, "synth.sample-rate", SampleRate))
        || !ok(fluid_settings_setnum(settings, "synth.gain", options.gain))
        // Only the samples of the instruments in use are read: a large soundfont costs little.
        || !ok(fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1))
        || !ok(fluid_settings_setint(settings, "synth.lock-memory", 0))
        // Reset at the end of a file, the synthesizer would cut its last note short.
        || !ok(fluid_settings_setint(settings, "player.reset-synth", 0)))
        return SynthState::Broken;
    synth.synth.reset(new_fluid_synth(settings));
    if (!synth.synth)
        return SynthState::Broken;

    for (const std::string &candidate : soundFontCandidates(settings)) {
        if (!fluid_is_soundfont(candidate.c_str()))
            continue;
        if (fluid_synth_sfload(synth.synth.get(), candidate.c_str(), 1) == FLUID_FAILED)
            continue;
        std::lock_guard lock(loaderMutex);
        loadedSoundFont = candidate;
        return SynthState::Ready;
    }
    return SynthState::NoSoundFont;
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

std::shared_ptr<FluidSynthMediaService::Impl::Synth> FluidSynthMediaService::Impl::takeSynth()
{
    if (!spareSynths.empty()) {
        std::shared_ptr<Synth> synth = std::move(spareSynths.back());
        spareSynths.pop_back();
        return synth;
    }
    auto synth = std::make_shared<Synth>();
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

// A synthesizer with no soundfont and no effects: it only drives the player that reads a file.
bool FluidSynthMediaService::Impl::createCheckSynth()
{
    checkSettings.reset(new_fluid_settings());
    if (!checkSettings || !ok(fluid_settings_setint(checkSettings.get(), "synth.reverb.active", 0))
        || !ok(fluid_settings_setint(checkSettings.get(), "synth.chorus.active", 0)))
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
                                                   std::function<void()> &superseded)
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
    for (const auto &[id, device] : devices)
        if (device->rendered)
            rendered =
                ok(fluid_synth_process(device->synth->synth.get(), frames, 2, buffers, 2, buffers))
                && rendered;
    return rendered;
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
    if (!isStandardMidiFile(opened->bytes))
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
    const MediaError error = impl_->startPlay(*playing, endNotice, superseded);
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
