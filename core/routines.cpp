#include "core/routines.h"

#include <emmintrin.h>

#include <cstring>

#include "platform/win32.h"

void ZeroFill(void* buffer, int32_t length) {
    if (buffer && length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
}

int32_t FloatToInt(double value) {
    // 2^63: the first value whose truncation no longer fits in 64 bits.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(value > -kLimit && value < kLimit)) return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value))));
}

int32_t NearestInt(double value) { return _mm_cvtsd_si32(_mm_set_sd(value)); }

void WaitMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

int32_t SaturatedSum(int32_t a, int32_t b) {
    int64_t sum = int64_t{a} + b;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(sum);
}
