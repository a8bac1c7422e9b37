// Builds a standard MIDI file with a single track (format 0) in memory, one event after the
// other, so that the recordings are written by code we can read rather than by an external tool.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

class SmfWriter
{
public:
    explicit SmfWriter(std::uint16_t ticksPerQuarter);

    // Every event comes `delta` ticks after the one before it (the first after the start).
    void tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter);
    void programChange(std::uint32_t delta, int channel, int program);
    void noteOn(std::uint32_t delta, int channel, int key, int velocity);
    void noteOff(std::uint32_t delta, int channel, int key);

    // The whole file: header, then the track closed by its end-of-track event `delta` ticks after
    // the last event. The writer stays usable; nothing is consumed.
    std::vector<std::uint8_t> file(std::uint32_t delta) const;

    // Appends a delta time or length in the file format's variable-length form (7 bits a byte,
    // most significant first); values above 0x0FFFFFFF have no such form and are refused.
    static void appendVariableLength(std::vector<std::uint8_t> &out, std::uint32_t value);

private:
    void event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes);

    std::uint16_t ticksPerQuarter_;
    std::vector<std::uint8_t> track_;
};
