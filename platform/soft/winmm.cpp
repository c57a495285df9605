// The software WinMM: the system timer's period. The host's clock needs no
// period, but every begun period is kept, so that timeEndPeriod answers as on
// Windows when it has no matching timeBeginPeriod.
#include <algorithm>
#include <vector>

#include "platform/soft/internal.h"

namespace {

struct WinmmLibraryState {
    std::vector<UINT> periods;  // begun and not yet ended, in milliseconds
};

WinmmLibraryState Winmm;

}  // namespace

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    if (int64_t failed; SoftFault(SoftOp::timeBeginPeriod, &failed)) return static_cast<MMRESULT>(failed);
    if (uPeriod == 0) return TIMERR_NOCANDO;
    Winmm.periods.push_back(uPeriod);
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    if (int64_t failed; SoftFault(SoftOp::timeEndPeriod, &failed)) return static_cast<MMRESULT>(failed);
    auto begun = std::find(Winmm.periods.begin(), Winmm.periods.end(), uPeriod);
    if (uPeriod == 0 || begun == Winmm.periods.end()) return TIMERR_NOCANDO;
    Winmm.periods.erase(begun);
    return TIMERR_NOERROR;
}

std::vector<UINT> SoftTimerPeriodsNow() { return Winmm.periods; }
