// The far end of a sound card for a whole-program test: the program's ALSA output is a FIFO
// (ALSA's file plugin), and this reader drains it at the pace of a real card, so that a play
// lasts as long as it would on one. It tells what came through.
#pragma once

#include <atomic>
#include <filesystem>
#include <thread>

class PacedAudioReader
{
public:
    // Makes the FIFO and starts reading it; the program may open it for writing at any time.
    explicit PacedAudioReader(const std::filesystem::path &fifo);
    ~PacedAudioReader();
    PacedAudioReader(const PacedAudioReader &) = delete;
    PacedAudioReader &operator=(const PacedAudioReader &) = delete;

    // An ALSA configuration whose default output writes into the FIFO.
    std::string alsaConfiguration() const;

    long bytesRead() const { return m_bytes; }
    // Bytes that were not zero: something sounded.
    long soundingBytes() const { return m_sounding; }
    // True while a writer holds the FIFO open.
    bool writerConnected() const { return m_connected; }

private:
    void drain();

    std::filesystem::path m_fifo;
    int m_descriptor = -1;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_connected{false};
    std::atomic<long> m_bytes{0};
    std::atomic<long> m_sounding{0};
    std::thread m_thread;
};
