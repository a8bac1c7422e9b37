// libFuzzer target for the way a recording is judged before it is played: the structure check
// on the bytes alone, then the service's whole open of a file holding those bytes (the file
// checks, the structure check and FluidSynth's own reading of the file). Whatever the bytes,
// nothing may crash, and the two verdicts must agree: a file the structure check refuses is
// never opened, and is reported as no MIDI file.
#include "fluidsynth_media_service.h"
#include "standard_midi_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Above this the service refuses a file for its size before reading it.
constexpr std::size_t LargestRecording = 1 << 20;

[[noreturn]] void Disagree(const char *what)
{
    std::fprintf(stderr, "verdicts disagree: %s\n", what);
    std::abort();
}

FluidSynthMediaService &Service()
{
    static FluidSynthMediaService service([] {
        FluidSynthMediaService::Options options;
        options.soundFonts = {QUARVELO_TEST_SOUNDFONT};
        options.offline = true;
        return options;
    }());
    return service;
}

// One file in memory, rewritten for every input and opened by name like any recording.
struct MemoryFile
{
    int descriptor = ::memfd_create("recording", MFD_CLOEXEC);
    std::string name = "/proc/self/fd/" + std::to_string(descriptor);

    void hold(std::span<const std::uint8_t> bytes) const
    {
        if (descriptor < 0 || ::ftruncate(descriptor, 0) != 0
            || ::pwrite(descriptor, bytes.data(), bytes.size(), 0)
                   != static_cast<ssize_t>(bytes.size())) {
            std::perror("memfd");
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const bool wellFormed = IsStandardMidiFile(bytes);

    static const MemoryFile file;
    file.hold(bytes);
    MediaDevice device = 0;
    const MediaError result = Service().open(file.name, device);
    if (result == MediaError::None) {
        if (!wellFormed)
            Disagree("opened a file that the structure check refuses");
        if (Service().length(device) < 0 || Service().position(device) != 0)
            Disagree("an opened recording does not stand at its start");
        if (Service().close(device) != MediaError::None)
            Disagree("an opened recording does not close");
    } else if (!wellFormed && size <= LargestRecording && result != MediaError::NotMidiFile) {
        Disagree("a file that the structure check refuses is not reported as no MIDI file");
    }
    return 0;
}
