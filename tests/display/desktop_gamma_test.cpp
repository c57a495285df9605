// The desktop list and the gamma ramp.
#include <gtest/gtest.h>

#include <cstring>

#include "display/desktop.h"
#include "display/gamma.h"
#include "display/screen.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/display.h"

TEST_F(DisplayTest, PrimaryDesktopTakesSlotZeroWhereverItIsListed) {
    HostDesktop detached = HostDesktopOf(2, false, {800, 600, 16, 60});
    detached.attached = false;
    HeadlessSetDesktops(
        {HostDesktopOf(0, false, {1280, 1024, 32, 75}), HostDesktopOf(1, true, {1920, 1080, 32, 60}), detached});
    EXPECT_EQ(DesktopScan(), 2);
    EXPECT_EQ(DesktopPixelWidth(0), 1920);
    EXPECT_EQ(DesktopPixelHeight(0), 1080);
    EXPECT_STREQ(DesktopList.desktops[0].deviceName, "\\\\.\\DISPLAY2");
    EXPECT_EQ(DesktopList.desktops[0].refresh, 60);
    EXPECT_EQ(DesktopPixelWidth(1), 1280);
    EXPECT_EQ(DesktopList.desktops[1].depth, 32);
    EXPECT_EQ(DesktopPixelWidth(-1), 0);
    EXPECT_EQ(DesktopPixelWidth(2), 0);
    EXPECT_EQ(DesktopPixelHeight(2), 0);
}

TEST_F(DisplayTest, AnUnreadableModeIsSkipped) {
    HeadlessSetDesktops({HostDesktopOf(0, true, {1024, 768, 32, 60}),
                         HostDesktopOf(1, false, {1280, 1024, 32, 75}, false),
                         HostDesktopOf(2, false, {800, 600, 32, 60})});
    EXPECT_EQ(DesktopScan(), 3);
    EXPECT_EQ(DesktopPixelWidth(0), 1024);
    EXPECT_EQ(DesktopPixelWidth(1), 800);
    EXPECT_EQ(DesktopPixelWidth(2), 0);  // counted, never filled
}

// Devices that change between the counting and the filling pass never make
// the scan write past its array (the sanitizer build checks the writes).
TEST_F(DisplayTest, MoreDevicesWhenFillingThanWhenCountingStayInTheArray) {
    HeadlessSetDesktops({HostDesktopOf(0, false, {1024, 768, 32, 60}), HostDesktopOf(1, false, {800, 600, 32, 60}),
                         HostDesktopOf(2, true, {640, 480, 32, 60})});
    // The counting pass sees one device only; the filling pass sees all three.
    FailOn(SoftOp::EnumDisplayDevicesA, 2, 0);
    EXPECT_EQ(DesktopScan(), 1);
    EXPECT_EQ(DesktopPixelWidth(0), 640);
}

TEST_F(DisplayTest, WithoutTheEnumerationTheScreenIsDescribedThroughADeviceContext) {
    HeadlessSetDesktop({1152, 864, 32, 1});
    FailOn(Fault{SoftOp::GetProcAddress, "EnumDisplayDevicesA"}, 1, 0);
    DesktopShutDown();
    DesktopList = {};
    EXPECT_EQ(DesktopScan(), 1);
    EXPECT_EQ(DesktopPixelWidth(0), 1152);
    EXPECT_EQ(DesktopPixelHeight(0), 864);
    EXPECT_EQ(DesktopList.desktops[0].depth, 32);
    EXPECT_EQ(DesktopList.desktops[0].refresh, 0);  // 1 stands for the default
    EXPECT_STREQ(DesktopList.desktops[0].deviceName, "");

    FailOn(SoftOp::CreateDCA, 1, 0);
    EXPECT_EQ(DesktopScan(), 0);
    EXPECT_EQ(DesktopPixelWidth(0), 0);
}

TEST_F(DisplayTest, ASecondScanReplacesTheListWithoutLoadingAgain) {
    EXPECT_EQ(SoftModuleLoadCount("USER32.DLL"), 1);
    HeadlessSetDesktop({800, 600, 32, 60});
    EXPECT_EQ(DesktopScan(), 1);
    EXPECT_EQ(DesktopPixelWidth(0), 800);
    EXPECT_EQ(SoftModuleLoadCount("USER32.DLL"), 1);
    DesktopShutDown();
    EXPECT_EQ(SoftModuleLoadCount("USER32.DLL"), 0);
}

// ---- gamma ------------------------------------------------------------------

namespace {

DDGAMMARAMP Ramp() {
    DDGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = WORD(i * 257);
    return ramp;
}

DDGAMMARAMP Displayed() {
    DDGAMMARAMP ramp;
    std::memcpy(&ramp, HeadlessDisplay().gamma, sizeof(ramp));
    return ramp;
}

}  // namespace

TEST_F(DisplayTest, GammaNeedsAnOpenScreenWithGammaControl) {
    EXPECT_EQ(GammaRampSet(0, 0, 0, 1), 0);
    ASSERT_EQ(Open(), 1);
    FailOn(SoftOp::IDirectDrawSurface7_QueryInterface, 1, E_NOINTERFACE);
    EXPECT_EQ(GammaRampSet(0, 0, 0, 1), 0);
    FailOn(SoftOp::IDirectDrawGammaControl_GetGammaRamp, 1, DDERR_GENERIC);
    EXPECT_EQ(GammaRampSet(0, 0, 0, 1), 0);
    FailOn(SoftOp::IDirectDrawGammaControl_SetGammaRamp, 1, DDERR_GENERIC);
    EXPECT_EQ(GammaRampSet(0, 0, 0, 0), 0);
}

TEST_F(DisplayTest, GammaCapsEachChannelAgainstTheSavedRamp) {
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(GammaRampSet(9, 9, 9, 1), 1);
    const DDGAMMARAMP saved = Ramp();
    EXPECT_EQ(std::memcmp(&GammaSavedRamp, &saved, sizeof(saved)), 0);

    // Levels 255 cap only the entries above 65280.
    ASSERT_EQ(GammaRampSet(255, 255, 255, 0), 1);
    DDGAMMARAMP shown = Displayed();
    EXPECT_EQ(shown.red[254], saved.red[254]);
    EXPECT_EQ(shown.red[255], 65280);
    EXPECT_EQ(shown.blue[255], 65280);

    // Level 0 turns every entry above 0 to 0, channel by channel.
    ASSERT_EQ(GammaRampSet(0, 128, 255, 0), 1);
    shown = Displayed();
    EXPECT_EQ(shown.red[0], 0);
    EXPECT_EQ(shown.red[200], 0);
    EXPECT_EQ(shown.green[127], saved.green[127]);
    EXPECT_EQ(shown.green[200], 128 * 256);
    EXPECT_EQ(shown.blue[100], saved.blue[100]);

    // Raising the level again restores nothing below it: each call starts
    // from the ramp now shown.
    ASSERT_EQ(GammaRampSet(255, 255, 255, 0), 1);
    shown = Displayed();
    EXPECT_EQ(shown.red[200], 0);
    EXPECT_EQ(shown.red[255], 65280);

    // Levels past the ends: below 0 caps as 0, above 255 caps nothing.
    ASSERT_EQ(GammaRampSet(0, 0, 0, 1), 1);
    ASSERT_EQ(GammaRampSet(INT32_MIN, INT32_MAX, 256, 0), 1);
    shown = Displayed();
    EXPECT_EQ(shown.red[255], 0);
    EXPECT_EQ(shown.green[255], GammaSavedRamp.green[255]);
    EXPECT_EQ(shown.blue[255], GammaSavedRamp.blue[255]);
}
