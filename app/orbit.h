// The program's picture: a pulsing glow just above the centre and three
// tilted rings, each with a glowing ball and its trail, all filled circles.
// A pure function of the clock, the scale and the centre.
#pragma once

#include <cstdint>

#include "core/types.h"

// red + green * 256 + blue * 65536, added as integers without masking.
ColorValue RgbPack(int32_t red, int32_t green, int32_t blue);

typedef void (*OrbitCircleRoutine)(int32_t x, int32_t y, int32_t radius, ColorValue colour);

// Every circle of one frame, in drawing order, handed to `circle`.
void OrbitSceneVisit(double clock, float scale, int32_t centreX, int32_t centreY, OrbitCircleRoutine circle);

// Draws one frame with DrawCircle on the bound drawing target.
void OrbitSceneDraw(double clock, float scale, int32_t centreX, int32_t centreY);
