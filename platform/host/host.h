// Where the software layer meets the machine. A host provides everything
// below; which host runs is decided when linking: `sdl` for the program,
// `headless` for tests and benchmarks. Nothing outside platform/ includes this.
//
// A host must provide:
//   - a clock: a tick counter and its rate, and a sleep that moves it on;
//   - the end of the process;
//   - the primary desktop's mode, for the display's device context;
//   - fault injection: whether a named platform operation is to fail now.
#pragma once

#include <cstdint>

struct HostDesktopMode {
    int width;
    int height;
    int depth;
    int refresh;
};

// Performance-counter ticks since the host started, and ticks per second.
int64_t HostTicks();
int64_t HostTicksPerSecond();
void HostSleep(uint32_t milliseconds);

// Ends the process (or, headless, the program under test) with this code.
[[noreturn]] void HostExit(uint32_t code);

HostDesktopMode HostPrimaryDesktop();

// True when the named operation is to fail on this call; *result is then the
// value the operation returns. Every fallible software operation asks first.
bool HostFault(const char* operation, int64_t* result);
