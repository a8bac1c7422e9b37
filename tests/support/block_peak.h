// The loudest sample of a rendered stereo block, as tests listening to the offline output
// measure it.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>

inline float BlockPeak(std::span<const float> left, std::span<const float> right)
{
    float peak = 0;
    for (std::span<const float> channel : {left, right}) {
        for (float sample : channel)
            peak = std::max(peak, std::fabs(sample));
    }
    return peak;
}
