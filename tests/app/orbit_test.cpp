#include "app/orbit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Circle {
    int32_t x, y, radius;
    ColorValue colour;
};

std::vector<Circle> recorded;

void Record(int32_t x, int32_t y, int32_t radius, ColorValue colour) { recorded.push_back({x, y, radius, colour}); }

std::vector<Circle> Frame(double clock, float scale, int32_t cx = 512, int32_t cy = 384) {
    recorded.clear();
    OrbitSceneVisit(clock, scale, cx, cy, Record);
    return recorded;
}

int Red(ColorValue c) { return c & 0xFF; }
int Green(ColorValue c) { return c >> 8 & 0xFF; }

// The ring circle of trail position k (1-10), layer m (1-10) and ring r (0 red,
// 1 green, 2 blue), after `glow` glow circles.
const Circle& RingCircle(const std::vector<Circle>& frame, int glow, int k, int m, int ring) {
    return frame[size_t(glow + ((k - 1) * 10 + (m - 1)) * 3 + ring)];
}

void ExpectCircle(const Circle& c, int x, int y, int radius, int red, int green, int blue) {
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
    EXPECT_EQ(c.radius, radius);
    EXPECT_EQ(c.colour, RgbPack(red, green, blue));
}

// The last 39 scales of the shrinking end, as the main routine forms them.
std::vector<float> ShrinkScales() {
    std::vector<float> scales;
    float s = 1.0f;
    for (s *= 0.96f; !(s < 0.2f); s *= 0.96f) scales.push_back(s);
    return scales;
}

}  // namespace

TEST(OrbitScene, FirstFrameMatchesTheWorkedExample) {
    std::vector<Circle> f = Frame(0.1, 1.0f);
    ASSERT_EQ(f.size(), 15u + 300u);
    ExpectCircle(f[0], 512, 381, 14, 2, 0, 10);
    ExpectCircle(f[1], 512, 381, 13, 4, 0, 19);
    ExpectCircle(f[13], 512, 381, 1, 28, 0, 136);
    ExpectCircle(f[14], 512, 381, 0, 30, 0, 146);
    ExpectCircle(RingCircle(f, 15, 1, 1, 0), 536, 404, 5, 1, 0, 0);
    ExpectCircle(RingCircle(f, 15, 1, 1, 1), 560, 397, 4, 0, 1, 0);
    ExpectCircle(RingCircle(f, 15, 1, 1, 2), 510, 304, 2, 0, 0, 1);
    ExpectCircle(RingCircle(f, 15, 10, 1, 0), 619, 393, 7, 17, 0, 0);
    ExpectCircle(RingCircle(f, 15, 10, 1, 1), 552, 355, 5, 0, 9, 0);
    ExpectCircle(RingCircle(f, 15, 10, 1, 2), 487, 338, 6, 0, 0, 12);
    ExpectCircle(RingCircle(f, 15, 10, 10, 0), 619, 393, 0, 172, 0, 0);
    ExpectCircle(RingCircle(f, 15, 10, 10, 1), 552, 355, 0, 0, 90, 0);
    ExpectCircle(RingCircle(f, 15, 10, 10, 2), 487, 338, 0, 0, 0, 121);
}

TEST(OrbitScene, LargeGlowMatchesTheWorkedExample) {
    std::vector<Circle> f = Frame(5.0, 0.88473594f);
    ASSERT_EQ(f.size(), 20u + 300u);
    ExpectCircle(f[0], 512, 381, 72, 1, 1, 1);
    ExpectCircle(f[19], 512, 381, 44, 23, 23, 26);

    f = Frame(5.0, 0.20350620f);
    ExpectCircle(f[0], 512, 381, 313, 5, 5, 6);
    ExpectCircle(f[19], 512, 381, 192, 98, 98, 114);
}

TEST(OrbitScene, ShrinkScalesAreThoseOfTheEnd) {
    std::vector<float> scales = ShrinkScales();
    ASSERT_EQ(scales.size(), 39u);
    EXPECT_FLOAT_EQ(scales[2], 0.88473594f);
    EXPECT_FLOAT_EQ(scales.back(), 0.20350620f);
}

TEST(OrbitScene, GlowSwitchesToTheLargeFormAtExactlyNinetyPercent) {
    EXPECT_EQ(Frame(0.1, 0.9f).size(), 20u + 300u);
    EXPECT_EQ(Frame(0.1, std::nextafter(0.9f, 1.0f)).size(), 15u + 300u);
    EXPECT_EQ(Frame(0.1, 0.96f).size(), 15u + 300u);
}

TEST(OrbitScene, GlowSitsThreePixelsAboveAnOddCentre) {
    std::vector<Circle> f = Frame(0.1, 1.0f, 511, 383);
    EXPECT_EQ(f[0].x, 511);
    EXPECT_EQ(f[0].y, 380);
}

TEST(OrbitScene, RingLayersNineAndTenAreTiny) {
    for (double t = 0.1; t < 7.0; t += 0.1) {
        std::vector<Circle> f = Frame(t, 1.0f);
        for (int k = 1; k <= 10; ++k) {
            for (int ring = 0; ring < 3; ++ring) {
                EXPECT_EQ(RingCircle(f, 15, k, 10, ring).radius, 0);
                int r9 = RingCircle(f, 15, k, 9, ring).radius;
                EXPECT_TRUE(r9 == 0 || r9 == 1) << r9;
            }
        }
    }
}

// No channel ever carries into the next one, at any scale the program draws:
// a ring keeps to its own channel, the small glow has no green and the large
// glow's red and green stay equal.
TEST(OrbitScene, EveryChannelStaysWithinAByteAtEveryDrawnScale) {
    std::vector<float> scales = ShrinkScales();
    scales.insert(scales.begin(), 1.0f);
    for (float s : scales) {
        for (double t = 0.1; t < 7.0; t += 0.1) {
            std::vector<Circle> f = Frame(t, s);
            int glow = s > 0.9f ? 15 : 20;
            for (int n = 0; n < glow; ++n) {
                ColorValue c = f[size_t(n)].colour;
                ASSERT_LE(c, 0xFFFFFFu);
                if (glow == 15) {
                    ASSERT_EQ(Red(c), 2 * (n + 1));
                    ASSERT_EQ(Green(c), 0);
                } else {
                    ASSERT_EQ(Red(c), Green(c));
                }
            }
            for (int k = 1; k <= 10; ++k) {
                for (int m = 1; m <= 10; ++m) {
                    for (int ring = 0; ring < 3; ++ring) {
                        ColorValue c = RingCircle(f, glow, k, m, ring).colour;
                        ASSERT_EQ(c & ~(0xFFu << (8 * ring)), 0u) << "k " << k << " m " << m << " ring " << ring;
                    }
                }
            }
        }
    }
}

TEST(OrbitScene, RgbPackAddsWithoutMasking) {
    EXPECT_EQ(RgbPack(1, 2, 3), 0x030201u);
    EXPECT_EQ(RgbPack(256, 0, 0), 0x000100u);
}

// Every circle of the program's first 3000 frames, and of a shrinking end
// begun after frames 1, 777 and 2999, folded into one number. The Windows
// build, whose sine and cosine come from another C library, must compute
// exactly the same circles, or its frames would differ from the Linux build's.
TEST(OrbitScene, ThousandsOfFramesGiveTheSameCirclesOnEveryBuild) {
    uint64_t hash = 14695981039346656037u;
    auto fold = [&hash](int32_t value) {
        for (int i = 0; i < 4; ++i) hash = (hash ^ (uint32_t(value) >> (8 * i) & 0xFF)) * 1099511628211u;
    };
    auto foldFrame = [&](double clock, float scale) {
        for (const Circle& c : Frame(clock, scale)) {
            fold(c.x), fold(c.y), fold(c.radius), fold(int32_t(c.colour));
        }
    };
    double clock = 0;
    for (int frame = 1; frame <= 3000; ++frame) {
        clock += 0.1;
        foldFrame(clock, 1.0f);
        if (frame == 1 || frame == 777 || frame == 2999) {
            double shrinking = clock;
            for (float scale : ShrinkScales()) foldFrame(shrinking += 0.1, scale);
        }
    }
    EXPECT_EQ(hash, 10806757727722289536u);
}
