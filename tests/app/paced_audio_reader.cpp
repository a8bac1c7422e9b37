#include "paced_audio_reader.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 44100 frames a second of two 16-bit channels, FluidSynth's default sample format. A driver
// that writes floats plays at half speed, which only makes a play last longer.
constexpr double BytesPerSecond = 44100.0 * 2 * 2;

} // namespace

PacedAudioReader::PacedAudioReader(const std::filesystem::path &fifo) : m_fifo(fifo)
{
    // Opened for reading without waiting, so that the writer's open never waits either.
    if (mkfifo(m_fifo.c_str(), 0600) == 0)
        m_descriptor = open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    m_thread = std::thread(&PacedAudioReader::drain, this);
}

PacedAudioReader::~PacedAudioReader()
{
    m_stopping = true;
    m_thread.join();
    if (m_descriptor >= 0)
        close(m_descriptor);
}

std::string PacedAudioReader::alsaConfiguration() const
{
    return "pcm.!default { type file slave.pcm { type null } file \"" + m_fifo.string()
           + "\" format \"raw\" }\n";
}

void PacedAudioReader::drain()
{
    using Clock = std::chrono::steady_clock;
    char buffer[4096];
    auto started = Clock::now();
    long paced = 0; // bytes read since the current writer connected
    while (!m_stopping && m_descriptor >= 0) {
        const ssize_t count = read(m_descriptor, buffer, sizeof buffer);
        if (count <= 0) {
            // No writer (yet, or any more), or nothing written just now.
            if (count == 0)
                m_connected = false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (!m_connected) {
            m_connected = true;
            started = Clock::now();
            paced = 0;
        }
        m_bytes += count;
        m_sounding += std::count_if(buffer, buffer + count, [](char byte) { return byte != 0; });
        paced += count;
        std::this_thread::sleep_until(
            started
            + std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(double(paced) / BytesPerSecond)));
    }
}
