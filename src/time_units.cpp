#include "time_units.h"

#include <limits>

uint64_t unit_femtoseconds(std::string_view unit) {
    if (unit == "s")
        return 1000000000000000ULL;
    if (unit == "ms")
        return 1000000000000ULL;
    if (unit == "us")
        return 1000000000ULL;
    if (unit == "ps")
        return 1000ULL;
    if (unit == "fs")
        return 1ULL;
    return 1000000ULL;
}

namespace {

uint64_t saturated(unsigned __int128 ticks) {
    constexpr uint64_t last = std::numeric_limits<uint64_t>::max();
    return ticks > last ? last : static_cast<uint64_t>(ticks);
}

} // namespace

uint64_t TickScale::lastTickWithin(uint64_t value) const {
    const unsigned __int128 fs = static_cast<unsigned __int128>(value) * unit_fs;
    return saturated(fs / (tick_fs ? tick_fs : 1));
}

uint64_t TickScale::firstTickFrom(uint64_t value) const {
    const unsigned __int128 fs = static_cast<unsigned __int128>(value) * unit_fs;
    const uint64_t tick = tick_fs ? tick_fs : 1;
    return saturated((fs + tick - 1) / tick);
}
