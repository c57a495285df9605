// Small routines shared by the program and the runtime.
#pragma once

#include <cstdint>

// Fills `length` bytes at `buffer` with zero.
void ZeroFill(void* buffer, int32_t length);

// `value` truncated toward zero: the low 32 bits of the 64-bit truncated
// integer. A value with no 64-bit integer part (too large, or not a number)
// gives 0, as the processor's conversion does.
int32_t FloatToInt(double value);

// `value` rounded to the nearest integer under the current rounding mode
// (halves to even), as the processor converts; a value outside 32 bits gives
// INT32_MIN.
int32_t NearestInt(double value);

// a + b, held at INT32_MIN or INT32_MAX where it would pass them.
int32_t SaturatedSum(int32_t a, int32_t b);

// Suspends the thread for `milliseconds`.
void WaitMilliseconds(uint32_t milliseconds);
