// What a player needs of the sound system: open a recording by name, play it with a notice at
// its end, ask where it stands, close it. The players only ever talk to this interface, so a
// fake can stand in for the real synthesizer in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Result of a request; None is success. Values without a name may come from other services,
// which is why errorText() may have no text for a code.
enum class MediaError : int {
    None = 0,
    FileNotFound, // no file of that name
    NotMidiFile, // not a standard MIDI file, or a damaged one
    Unreadable, // a folder, a device, no permission, too large
    NoSoundFont, // no General MIDI soundfont installed
    NoAudioOutput, // no sound server or sound card could be opened
    NoDevice, // a device that is not open
};

enum class MediaMode { NotReady, Stopped, Playing };

using MediaDevice = std::int32_t; // 0 is never a device

class MediaService
{
public:
    virtual ~MediaService() = default;

    // Opens the file, resolved against the working directory, unshared; the kind of device is
    // chosen from the file itself. Returns when the file has been read and checked.
    virtual MediaError open(const std::string &fileName, MediaDevice &device) = 0;
    virtual MediaError close(MediaDevice device) = 0;

    // Starts playing from the current position and returns at once. endNotice runs later on the
    // thread that created the service, once, when this play ends for any reason (run to its end,
    // superseded, closed, failed). The caller guards its own lifetime inside the notice.
    virtual MediaError play(MediaDevice device, std::function<void()> endNotice) = 0;

    virtual MediaMode mode(MediaDevice device) const = 0;
    // Position and length share one unit (MIDI ticks for the FluidSynth service).
    virtual std::int64_t position(MediaDevice device) const = 0;
    virtual std::int64_t length(MediaDevice device) const = 0;
    virtual MediaError seekToStart(MediaDevice device) = 0;
    virtual bool canPlay(MediaDevice device) const = 0;

    // The user-visible text of an error code, or no value when the service has none for it.
    // fileName names the recording the request was about, so that the text can name it.
    virtual std::optional<std::string> errorText(MediaError error,
                                                 const std::string &fileName) const = 0;
};
