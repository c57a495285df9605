// Tests of the display start from a runtime set up on a headless desktop of
// 640 x 480 x 32 at 60 Hz, with nothing open.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "support/fixture.h"

// The scene as the software GDI draws it on a black screen of this size.
std::vector<uint32_t> SceneAt(double clock, float scale, int width, int height);

class DisplayTest : public RuntimeTest {
protected:
    void SetUp() override;

    // Starts the runtime again, with `beforeStart` run just before it starts.
    void Restart(const std::function<void()>& beforeStart);

    // ScreenOpen at the desktop's size.
    int32_t Open();
    // One pixel of the back buffer, read under a lock.
    uint32_t BackBufferPixel(int x, int y);
    // Surfaces of the software DirectDraw that exist now.
    int SurfaceCount();
    // The ShowCursor count of the software user library.
    int CursorCount();
    bool WindowShown();
    // No surface, the normal cooperative level, the cursor shown, the window hidden.
    void ExpectNothingLeft();
};

// The same with the screen open at the desktop's size.
class OpenDisplayTest : public DisplayTest {
protected:
    void SetUp() override;
};
