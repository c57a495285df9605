// The beam of a display, as the hosts model it for GetScanLine: it sweeps the
// mode's lines and then a vertical blank of a twentieth as many lines (one at
// least), once per refresh interval; an interval begins with the first line.
#pragma once

#include <algorithm>
#include <cstdint>

// The line under the beam `phase` into an interval `period` long (in any one
// unit), on a display of `lines` lines; -1 during the vertical blank.
inline int ScanLineAt(int64_t phase, int64_t period, int lines) {
    const int64_t total = lines + std::max(lines / 20, 1);
    const int64_t line = phase * total / period;
    return line < lines ? static_cast<int>(line) : -1;
}
