#include "support/display.h"

#include <cstring>

#include "app/orbit.h"
#include "display/screen.h"
#include "draw/context.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "runtime/lifecycle.h"

namespace {

void StartOnTheTestDesktop() {
    HeadlessSetDesktop({640, 480, 32, 60});
    RuntimeStart();
}

}  // namespace

std::vector<uint32_t> SceneAt(double clock, float scale, int width, int height) {
    TestSurface surface(width, height, 0);
    DrawTarget target = {};
    target.kind = 2;
    target.dc = surface.dc;
    target.release = [] {};
    DrawBegin(&target);
    OrbitSceneDraw(clock, scale, width / 2, height / 2);
    DrawEnd();
    return surface.pixels;
}

void DisplayTest::SetUp() {
    HeadlessReset();
    StartOnTheTestDesktop();
}

void OpenDisplayTest::SetUp() {
    DisplayTest::SetUp();
    ASSERT_EQ(Open(), 1);
}

void DisplayTest::Restart(const std::function<void()>& beforeStart) {
    RuntimeTest::TearDown();
    HeadlessSetDesktop({640, 480, 32, 60});
    beforeStart();
    RuntimeStart();
}

int32_t DisplayTest::Open() { return ScreenOpen(640, 480, 32, "test"); }

uint32_t DisplayTest::BackBufferPixel(int x, int y) {
    DDSURFACEDESC2 locked = Described();
    if (ScreenState.backBuffer->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADDEAD;
    uint32_t pixel;
    std::memcpy(&pixel, static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch + x * 4, 4);
    ScreenState.backBuffer->Unlock(nullptr);
    return pixel;
}

int DisplayTest::SurfaceCount() { return SoftDirectDrawSurfaceCount(); }

int DisplayTest::CursorCount() { return SoftCursorCount(); }

bool DisplayTest::WindowShown() { return SoftWindowVisible(ScreenState.window); }

void DisplayTest::ExpectNothingLeft() {
    EXPECT_EQ(ScreenState.frontSurface, nullptr);
    EXPECT_EQ(ScreenState.backBuffer, nullptr);
    EXPECT_EQ(ScreenState.drawSurface, nullptr);
    EXPECT_EQ(SurfaceCount(), 0);
    EXPECT_EQ(SoftDirectDrawCooperativeLevel() & DDSCL_EXCLUSIVE, 0u);
    EXPECT_FALSE(HeadlessDisplay().open);
    EXPECT_GE(CursorCount(), 0);
    EXPECT_TRUE(HeadlessDisplay().cursorVisible);
    EXPECT_FALSE(WindowShown());
}
