#include "app/orbit.h"

#include <cmath>

#include "core/routines.h"
#include "draw/shapes.h"

namespace {

// Constants given in single precision are used as their single-precision
// values widened to double.
constexpr double Single(float value) { return static_cast<double>(value); }

constexpr float kGlowThreshold = 0.9f;
constexpr int32_t kGlowOffset = -3;

struct Ring {
    int32_t channelShift;  // 0 red, 8 green, 16 blue
    double colourBase;
    double colourPhase;  // added to the trail angle, for the colour
    double radiusPhase;  // for the radius
    double placePhase;   // for the position
    double semiAxisX;
    double semiAxisY;
};

// The green ring's phase is 1.1 in double precision for its colour but in
// single precision elsewhere; the blue ring's radius turns the other way.
const Ring kRings[] = {
    {0, 15.0, 0.0, 0.0, 0.0, Single(120.0f), Single(20.0f)},
    {8, 12.0, 1.1, Single(1.1f), Single(1.1f), Single(50.0f), Single(50.0f)},
    {16, 15.0, 3.0, -Single(3.0f), Single(3.0f), Single(30.0f), Single(80.0f)},
};

void SmallGlow(double t, int32_t x, int32_t y, OrbitCircleRoutine circle) {
    for (int32_t n = 1; n <= 15; ++n) {
        int32_t blue = NearestInt((std::sin(t) + Single(3.14159265358979f)) * (3 * n));
        circle(x, y, 15 - n, RgbPack(2 * n, 0, blue));
    }
}

void LargeGlow(double t, double s, int32_t x, int32_t y, OrbitCircleRoutine circle) {
    for (int32_t n = 1; n <= 20; ++n) {
        int32_t blue = NearestInt(((std::sin(t) + 3.141592653589793) * (n * 0.8)) / (s * 1.5));
        int32_t grey = NearestInt((n * 1.5) / (s * 1.5));
        int32_t radius = NearestInt(((50 - n) * 1.3) / s);
        circle(x, y, radius, RgbPack(grey, grey, blue));
    }
}

void RingCircle(const Ring& ring, double a, int32_t k, double size, double light, double s, int32_t cx, int32_t cy,
                OrbitCircleRoutine circle) {
    int32_t level = FloatToInt((std::cos(a + ring.colourPhase) * 5 + ring.colourBase) * k * light);
    ColorValue colour = static_cast<ColorValue>(level) << ring.channelShift;
    double tail = (Single(5.0f) / k) / Single(2.0f);
    int32_t radius = NearestInt((size * s) * ((std::cos(a + ring.radiusPhase) * Single(1.2f) - tail) + Single(5.0f)));
    int32_t x = NearestInt(cx + std::sin(a + ring.placePhase) * (s * ring.semiAxisX));
    int32_t y = NearestInt(cy + std::cos(a + ring.placePhase) * (s * ring.semiAxisY));
    circle(x, y, radius, colour);
}

// Trail position 0 adds nothing (its tail term 5 / 0 has no finite value),
// so the trail is drawn from position 1, tail to head.
void Rings(double t, double s, int32_t cx, int32_t cy, OrbitCircleRoutine circle) {
    for (int32_t k = 1; k <= 10; ++k) {
        double a = t + k / 10.0;
        for (int32_t m = 1; m <= 10; ++m) {
            double size = static_cast<float>((Single(10.0f) - m) / Single(7.0f));
            double light = static_cast<float>(m / Single(10.0f));
            for (const Ring& ring : kRings) RingCircle(ring, a, k, size, light, s, cx, cy, circle);
        }
    }
}

}  // namespace

ColorValue RgbPack(int32_t red, int32_t green, int32_t blue) {
    return static_cast<ColorValue>(red) + static_cast<ColorValue>(green) * 256u +
           static_cast<ColorValue>(blue) * 65536u;
}

void OrbitSceneVisit(double clock, float scale, int32_t centreX, int32_t centreY, OrbitCircleRoutine circle) {
    int32_t glowY = centreY + kGlowOffset;
    if (scale > kGlowThreshold) {
        SmallGlow(clock, centreX, glowY, circle);
    } else {
        LargeGlow(clock, scale, centreX, glowY, circle);
    }
    Rings(clock, scale, centreX, centreY, circle);
}

void OrbitSceneDraw(double clock, float scale, int32_t centreX, int32_t centreY) {
    OrbitSceneVisit(clock, scale, centreX, centreY, DrawCircle);
}
