// Puts the runtime's libraries and heaps back as a new process has them, so
// that RuntimeStart can run again: for tests and the fuzzer, which start the
// runtime many times in one process.
#pragma once

void ForgetTheRuntime();
