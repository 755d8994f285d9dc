#include "zip/base/SmallHelpers.h"

#include <algorithm>

int CBigRate(int64_t total, int64_t part) {
    if (total <= 0 || part <= 0) {
        return 0;
    }
    if (part >= total) {
        return 100;
    }
    // part < total here, so the quotient is below 100. Work in unsigned
    // 128-bit arithmetic so that sizes near 2^63 cannot overflow.
    __extension__ using U128 = unsigned __int128;
    const U128 scaled = static_cast<U128>(part) * 100u;
    const U128 quotient = scaled / static_cast<U128>(total);
    const U128 twiceRest = (scaled % static_cast<U128>(total)) * 2u;
    U128 result = quotient;
    if (twiceRest > static_cast<U128>(total) ||
        (twiceRest == static_cast<U128>(total) && (quotient & 1u) != 0)) {
        ++result;
    }
    return static_cast<int>(result);
}

namespace {

struct DosParts {
    uint32_t hour, minute, second, year, month, day;
};

DosParts SplitDos(uint32_t v) {
    const uint32_t time = v & 0xFFFFu;
    const uint32_t date = v >> 16;
    return {time >> 11,          (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2u,
            (date >> 9) + 1980u, (date >> 5) & 0x0Fu, date & 0x1Fu};
}

bool Clamp(uint32_t& value, uint32_t low, uint32_t high) {
    const uint32_t clamped = std::clamp(value, low, high);
    const bool changed = clamped != value;
    value = clamped;
    return changed;
}

}  // namespace

uint32_t GoodTimeStamp(uint32_t dosDateTime) {
    DosParts p = SplitDos(dosDateTime);
    bool changed = false;
    changed |= Clamp(p.hour, 0, 23);
    changed |= Clamp(p.minute, 0, 59);
    changed |= Clamp(p.second, 0, 59);
    changed |= Clamp(p.year, 1980, 2099);
    changed |= Clamp(p.month, 1, 12);
    changed |= Clamp(p.day, 1, 31);
    if (!changed) {
        return dosDateTime;
    }
    const uint32_t time = (p.hour << 11) | (p.minute << 5) | (p.second / 2);
    const uint32_t date = ((p.year - 1980) << 9) | (p.month << 5) | p.day;
    return (date << 16) | time;
}
