// The display's gamma ramp: saved once, then capped per channel against it.
#pragma once

#include <cstdint>

#include "platform/win32.h"

extern DDGAMMARAMP GammaSavedRamp;

// With `save` nonzero: keeps the display's current ramp. Otherwise writes a
// ramp in which each channel is capped at its level (0-255) times 256, where
// the saved ramp lies above that. 1 when the ramp was read or written.
int32_t GammaRampSet(int32_t red, int32_t green, int32_t blue, int32_t save);
