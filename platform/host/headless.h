// The headless host's own controls, for tests and benchmarks: the virtual
// clock, the desktop it reports, fault injection and the end of the program.
#pragma once

#include <cstdint>

#include "platform/host/host.h"

// HostExit does not end the process here: it throws this, so that a test can
// run the program to its end and read the exit code.
struct HeadlessExit {
    uint32_t code;
};

// The virtual clock runs at this many ticks per second; only Sleep moves it.
constexpr int64_t kHeadlessTicksPerSecond = 10'000'000;

void HeadlessSetDesktop(HostDesktopMode mode);

// Makes `operation` fail on its nth call from now (1: the next call) with
// `result`, and on the `times` - 1 calls after that too (times -1: for ever).
void HeadlessFailOn(const char* operation, int nth, int64_t result, int times = 1);
// Faults armed and not yet spent.
int HeadlessFaultsPending();
// Forgets every fault and puts the desktop back to 1024 x 768 x 32 at 60 Hz.
void HeadlessReset();
