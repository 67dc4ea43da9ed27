// Times the host configures (the run's time limit, the waveform window) are
// given in its time unit; the kernel counts time in ticks of the design's
// finest time precision. This converts between the two.
#pragma once

#include <cstdint>
#include <string_view>

// Femtoseconds in one unit: "s", "ms", "us", "ns", "ps", "fs"; any other text
// counts as "ns".
uint64_t unit_femtoseconds(std::string_view unit);

// One configured time unit measured in kernel ticks.
struct TickScale {
    uint64_t unit_fs = 1000000;
    uint64_t tick_fs = 1000000;

    // The last tick at or before `value` units; past the counted range, the last tick.
    uint64_t lastTickWithin(uint64_t value) const;
    // The first tick at or after `value` units.
    uint64_t firstTickFrom(uint64_t value) const;
};
