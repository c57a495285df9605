// The small shared routines: pure arithmetic, checked on both builds.
#include "core/routines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

TEST(FloatToInt, TruncatesTowardZero) {
    EXPECT_EQ(FloatToInt(199.9), 199);
    EXPECT_EQ(FloatToInt(200.0), 200);
    EXPECT_EQ(FloatToInt(-0.5), 0);
    EXPECT_EQ(FloatToInt(-199.9), -199);
    EXPECT_EQ(FloatToInt(0.999999), 0);
    EXPECT_EQ(FloatToInt(2147483647.9), INT32_MAX);
    EXPECT_EQ(FloatToInt(-2147483648.9), INT32_MIN);
}

TEST(FloatToInt, KeepsTheLow32BitsAndGivesZeroWithoutA64BitValue) {
    EXPECT_EQ(FloatToInt(4294967297.0), 1);
    EXPECT_EQ(FloatToInt(2147483648.0), INT32_MIN);
    EXPECT_EQ(FloatToInt(-2147483649.0), INT32_MAX);
    EXPECT_EQ(FloatToInt(3.0 * 4294967296.0 + 7.5), 7);
    EXPECT_EQ(FloatToInt(-4294967296.0 - 5.0), -5);

    EXPECT_EQ(FloatToInt(9223372036854775808.0), 0);  // 2^63
    EXPECT_EQ(FloatToInt(-9223372036854775808.0), 0);
    EXPECT_EQ(FloatToInt(1e300), 0);
    EXPECT_EQ(FloatToInt(-1e300), 0);
    EXPECT_EQ(FloatToInt(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FloatToInt(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FloatToInt(std::nan("")), 0);
}

TEST(NearestInt, RoundsHalvesToEvenAndMarksValuesOutside32Bits) {
    EXPECT_EQ(NearestInt(0.5), 0);
    EXPECT_EQ(NearestInt(1.5), 2);
    EXPECT_EQ(NearestInt(2.5), 2);
    EXPECT_EQ(NearestInt(-0.5), 0);
    EXPECT_EQ(NearestInt(-1.5), -2);
    EXPECT_EQ(NearestInt(-2.5), -2);
    EXPECT_EQ(NearestInt(2.4999), 2);
    EXPECT_EQ(NearestInt(-2.5001), -3);

    EXPECT_EQ(NearestInt(2147483647.4), INT32_MAX);
    EXPECT_EQ(NearestInt(-2147483648.4), INT32_MIN);
    EXPECT_EQ(NearestInt(2147483647.5), INT32_MIN);  // rounds to 2^31
    EXPECT_EQ(NearestInt(4294967297.0), INT32_MIN);
    EXPECT_EQ(NearestInt(-3e9), INT32_MIN);
    EXPECT_EQ(NearestInt(std::nan("")), INT32_MIN);
}

TEST(ZeroFill, ZeroesExactlyTheGivenBytes) {
    unsigned char bytes[8];
    std::memset(bytes, 0xEE, sizeof bytes);
    ZeroFill(bytes, 0);
    ZeroFill(bytes, -1);
    ZeroFill(bytes, INT32_MIN);
    for (unsigned char b : bytes) EXPECT_EQ(b, 0xEE);

    ZeroFill(bytes + 2, 3);
    const unsigned char expected[8] = {0xEE, 0xEE, 0, 0, 0, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

}  // namespace
