#include "smf_writer.h"

#include <stdexcept>
#include <string>

namespace {

constexpr std::uint32_t LargestVariableLength = 0x0FFFFFFF;
constexpr std::uint32_t LargestTempo = 0xFFFFFF; // three bytes in the tempo event

void appendBigEndian(std::vector<std::uint8_t> &out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint8_t checked(int value, int highest, const char *what)
{
    if (value < 0 || value > highest)
        throw std::out_of_range(std::string("SmfWriter: ") + what + " " + std::to_string(value)
                                + " is outside 0.." + std::to_string(highest));
    return static_cast<std::uint8_t>(value);
}

} // namespace

SmfWriter::SmfWriter(std::uint16_t ticksPerQuarter) : ticksPerQuarter_(ticksPerQuarter)
{
    // The top bit selects frame-based timing, which the recordings do not use.
    if (ticksPerQuarter == 0 || ticksPerQuarter > 0x7FFF)
        throw std::out_of_range("SmfWriter: ticks per quarter note must lie in 1..32767");
}

void SmfWriter::tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter)
{
    if (microsecondsPerQuarter == 0 || microsecondsPerQuarter > LargestTempo)
        throw std::out_of_range("SmfWriter: tempo must lie in 1..16777215 microseconds");
    event(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                  static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                  static_cast<std::uint8_t>(microsecondsPerQuarter)});
}

void SmfWriter::programChange(std::uint32_t delta, int channel, int program)
{
    event(delta, {static_cast<std::uint8_t>(0xC0 | checked(channel, 15, "channel")),
                  checked(program, 127, "program")});
}

void SmfWriter::noteOn(std::uint32_t delta, int channel, int key, int velocity)
{
    // Velocity 0 would be read as a note-off.
    if (velocity == 0)
        throw std::out_of_range("SmfWriter: a note-on needs a velocity of at least 1");
    event(delta, {static_cast<std::uint8_t>(0x90 | checked(channel, 15, "channel")),
                  checked(key, 127, "key"), checked(velocity, 127, "velocity")});
}

void SmfWriter::noteOff(std::uint32_t delta, int channel, int key)
{
    constexpr std::uint8_t ReleaseVelocity = 64; // "no release velocity" by convention
    event(delta, {static_cast<std::uint8_t>(0x80 | checked(channel, 15, "channel")),
                  checked(key, 127, "key"), ReleaseVelocity});
}

std::vector<std::uint8_t> SmfWriter::file(std::uint32_t delta) const
{
    std::vector<std::uint8_t> track = track_;
    appendVariableLength(track, delta);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
    appendBigEndian(out, 6, 4);
    appendBigEndian(out, 0, 2); // format 0: one track
    appendBigEndian(out, 1, 2);
    appendBigEndian(out, ticksPerQuarter_, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    appendBigEndian(out, static_cast<std::uint32_t>(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

void SmfWriter::appendVariableLength(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    if (value > LargestVariableLength)
        throw std::out_of_range("SmfWriter: " + std::to_string(value)
                                + " is too large for a variable-length quantity");
    int shift = 21;
    while (shift > 0 && (value >> shift) == 0)
        shift -= 7;
    for (; shift > 0; shift -= 7)
        out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F)));
    out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

void SmfWriter::event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
{
    appendVariableLength(track_, delta);
    track_.insert(track_.end(), bytes);
}
