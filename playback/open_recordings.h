// Names and opens the three recordings of a key, one per scale form.
#pragma once

#include <array>
#include <cstdint>

class MediaPlayer;

// Sets the three players' FileName (when keyIndex is a chosen key) and opens all three, in
// form order. A player whose open fails is left empty and the others are still opened, so no
// player ever keeps another key's recording; afterwards one EMCIDeviceError names every
// recording that failed, one per line.
void OpenRecordings(std::int32_t keyIndex, const std::array<MediaPlayer *, 3> &players);
