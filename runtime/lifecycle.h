// The process's start and end: every library of the runtime set up, in a
// fixed order, and shut down again.
#pragma once

#include <cstdint>

// The first stage of the process: the heaps, then every library's set-up.
void RuntimeStart();

// The libraries' shut-downs, the main heap's destruction, the process's exit.
[[noreturn]] void ProgramEnd(uint32_t exitCode);

// Puts every library's record and the heaps back as a new process has them,
// each library forgetting its own, so that RuntimeStart can run again: for
// tests and the fuzzer, which start the runtime many times in one process.
void RuntimeForget();
