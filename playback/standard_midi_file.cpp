#include "standard_midi_file.h"

#include <cstddef>
#include <cstdint>

namespace {

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

} // namespace

bool IsStandardMidiFile(Bytes bytes)
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
