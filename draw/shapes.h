// Filled or outlined shapes in one colour on the bound drawing target.
// Without a bound target they do nothing.
#pragma once

#include <cstdint>

#include "core/types.h"

// A circle centred on (x, y); radius 1 is the 2 x 2 box from (x, y).
void DrawCircle(int32_t x, int32_t y, int32_t radius, ColorValue colour);

// A box whose top-left corner is (x, y); 1 x 1 is a single pixel.
void DrawBox(int32_t x, int32_t y, int32_t width, int32_t height, ColorValue colour);

// An ellipse centred on (x, y).
void DrawEllipse(int32_t x, int32_t y, int32_t radiusX, int32_t radiusY, ColorValue colour);
