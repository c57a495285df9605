// The screen's back buffer as a drawing target. The back buffer is held one
// way at a time: through its device context, or locked for its pixels.
#pragma once

#include <cstdint>

#include "draw/context.h"

// The back buffer as a target, or null when its device context is already
// held or cannot be had.
DrawTarget* ScreenDrawTarget();
// Ends any access to the back buffer.
void ScreenDcRelease();
// The back buffer's device context, got again after a lock; or 0.
HDC ScreenDcAcquire();
// Gives the device context back and locks the back buffer; its first pixel, or null.
uint8_t* ScreenPixelsLock();
void ScreenPixelInfoFill(DrawTarget* target);
