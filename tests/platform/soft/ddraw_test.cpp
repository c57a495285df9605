// The software DirectDraw: the exclusive display, flip chains, fills and
// copies, locks and device contexts, lost surfaces and gamma; and WinMM's
// timer periods.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/guids.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/fixture.h"

namespace {

constexpr DWORD kExclusive = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE;
constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kBlue = 0x000000FF;
// DirectDraw keeps the window only as the exclusive display's owner.
const HWND kWindow = reinterpret_cast<HWND>(uintptr_t{0x40});

typedef HRESULT(WINAPI* CreateRoutine)(GUID*, LPVOID*, REFIID, IUnknown*);

void* MemoryOf(IDirectDrawSurface7* surface) {
    return ForEachPixel(surface, [](int, int, uint32_t&) {});
}

uint32_t PixelAt(IDirectDrawSurface7* surface, int x, int y) {
    uint32_t found = 0xDEADBEEF;
    ForEachPixel(surface, [&](int px, int py, uint32_t& pixel) { found = px == x && py == y ? pixel : found; });
    return found;
}

int CountPixels(IDirectDrawSurface7* surface, uint32_t value) {
    int count = 0;
    ForEachPixel(surface, [&](int, int, uint32_t& pixel) { count += pixel == value; });
    return count;
}

}  // namespace

// Each test starts with a DirectDraw object of its own, made as the runtime
// makes it, and ends by releasing whatever references are left of it.
class SoftDirectDrawTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        SoftDisplayFocus(true);
        module = LoadLibraryA("ddraw.dll");
        FARPROC entry = GetProcAddress(module, "DirectDrawCreateEx");
        create = reinterpret_cast<CreateRoutine>(reinterpret_cast<void (*)()>(entry));
        ASSERT_NE(create, nullptr);
        objectsBefore = SoftDirectDrawObjectCount();
        surfacesBefore = SoftDirectDrawSurfaceCount();
        dd = Create();
        ASSERT_NE(dd, nullptr);
    }
    void TearDown() override {
        while (dd && dd->Release() > 0) continue;
        FreeLibrary(module);
        RuntimeTest::TearDown();
    }

    IDirectDraw7* Create() {
        void* made = nullptr;
        return create(nullptr, &made, kIidDirectDraw7, nullptr) == DD_OK ? static_cast<IDirectDraw7*>(made) : nullptr;
    }
    // The exclusive display in a mode, and its flip chain as the runtime gets it.
    void OpenWithChain(DWORD width, DWORD height) {
        ASSERT_EQ(dd->SetCooperativeLevel(kWindow, kExclusive), DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(width, height, 32, 0, 0), DD_OK);
        DDSURFACEDESC2 primary = PrimaryDescription();
        ASSERT_EQ(dd->CreateSurface(&primary, &front, nullptr), DD_OK);
        DDSCAPS2 caps = {DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE, 0, 0, {0}};
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    }
    IDirectDrawSurface7* CreatePlain(DWORD width, DWORD height) {
        DDSURFACEDESC2 description = PlainDescription(width, height);
        IDirectDrawSurface7* surface = nullptr;
        EXPECT_EQ(dd->CreateSurface(&description, &surface, nullptr), DD_OK);
        return surface;
    }

    HMODULE module = nullptr;
    CreateRoutine create = nullptr;
    int objectsBefore = 0;
    int surfacesBefore = 0;
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* front = nullptr;
    IDirectDrawSurface7* back = nullptr;
};

TEST_F(SoftDirectDrawTest, IsMadeThroughTheModuleForTheDefaultDeviceOnly) {
    EXPECT_EQ(SoftDirectDrawObjectCount(), objectsBefore + 1);
    void* made = nullptr;
    GUID device = kIidDirectDraw7;
    EXPECT_EQ(create(&device, &made, kIidDirectDraw7, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(create(nullptr, &made, kIidDirectDrawGammaControl, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(create(nullptr, &made, kIidDirectDraw7, dd), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(SoftDirectDrawObjectCount(), objectsBefore + 1);
}

TEST_F(SoftDirectDrawTest, ExclusiveModeTakesTheHostDisplayAndNormalGivesItBack) {
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, kExclusive), DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd->SetCooperativeLevel(kWindow, kExclusive), DD_OK);
    IDirectDraw7* other = Create();
    EXPECT_EQ(other->SetCooperativeLevel(kWindow, kExclusive), DDERR_EXCLUSIVEMODEALREADYSET);
    other->Release();
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(dd->SetDisplayMode(0, 480, 32, 0, 0), DDERR_UNSUPPORTEDMODE);  // the host refuses it
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    EXPECT_TRUE(HeadlessDisplay().open);
    EXPECT_EQ(HeadlessDisplay().width, 640);
    EXPECT_EQ(SoftDirectDrawCooperativeLevel(), kExclusive);

    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_FALSE(HeadlessDisplay().open);
    EXPECT_EQ(SoftDirectDrawCooperativeLevel(), DWORD{DDSCL_NORMAL});
}

TEST_F(SoftDirectDrawTest, SurfacesNeedACooperativeLevelAndAnOfferedFormat) {
    DDSURFACEDESC2 plain = PlainDescription(8, 8, DDSCAPS_TEXTURE);
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&plain, &surface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 primary = PrimaryDescription();
    EXPECT_EQ(dd->CreateSurface(&primary, &surface, nullptr), DDERR_NOEXCLUSIVEMODE);

    // The explicit format must be 32-bit RGB with alpha; the same without alpha is refused.
    plain.dwFlags |= DDSD_PIXELFORMAT;
    plain.ddpfPixelFormat = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF0000}, {0xFF00}, {0xFF}, {0}};
    EXPECT_EQ(dd->CreateSurface(&plain, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
    plain.ddpfPixelFormat.dwFlags |= DDPF_ALPHAPIXELS;
    plain.ddpfPixelFormat.dwRGBAlphaBitMask = 0xFF000000;
    ASSERT_EQ(dd->CreateSurface(&plain, &surface, nullptr), DD_OK);
    DDSURFACEDESC2 locked = Described();
    ASSERT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    surface->Unlock(nullptr);
    EXPECT_EQ(locked.ddpfPixelFormat.dwFlags, DWORD{DDPF_RGB | DDPF_ALPHAPIXELS});

    // A locked rectangle starts at its own top-left pixel; a failed lock leaves no address.
    RECT area = {2, 1, 8, 8};
    DDSURFACEDESC2 part = Described();
    ASSERT_EQ(surface->Lock(&area, &part, DDLOCK_WAIT, nullptr), DD_OK);
    surface->Unlock(nullptr);
    EXPECT_EQ(part.lpSurface, static_cast<uint8_t*>(locked.lpSurface) + locked.lPitch + 2 * 4);
    area.right = 9;
    EXPECT_EQ(surface->Lock(&area, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(part.lpSurface, nullptr);
}

TEST_F(SoftDirectDrawTest, FlipChainIsTheModesSizeAndItsBackBufferLivesWithTheFront) {
    OpenWithChain(99, 50);
    EXPECT_EQ(SoftDirectDrawSurfaceCount(), surfacesBefore + 2);
    DDSURFACEDESC2 locked = Described();
    ASSERT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    back->Unlock(nullptr);
    EXPECT_EQ(locked.dwWidth, 99u);
    EXPECT_EQ(locked.lPitch, 400);  // rows padded to 16 bytes
    DDSURFACEDESC2 primary = PrimaryDescription();
    IDirectDrawSurface7* another = nullptr;
    EXPECT_EQ(dd->CreateSurface(&primary, &another, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);

    // GetAttachedSurface gave a reference; once it is given back the chain still holds the buffer.
    EXPECT_EQ(back->AddRef(), 2u);
    EXPECT_EQ(back->Release(), 1u);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(SoftDirectDrawSurfaceCount(), surfacesBefore + 2);
    EXPECT_EQ(Fill(back, kRed), DD_OK);
    EXPECT_EQ(front->Release(), 0u);
    EXPECT_EQ(SoftDirectDrawSurfaceCount(), surfacesBefore);
}

TEST_F(SoftDirectDrawTest, FlipTradesTheBuffersMemoryAndShowsTheNewFrontAtTheVerticalBlank) {
    HeadlessKeepPixels(true);
    OpenWithChain(64, 32);
    ASSERT_EQ(Fill(front, kBlue), DD_OK);
    ASSERT_EQ(Fill(back, kRed), DD_OK);
    void* frontMemory = MemoryOf(front);
    void* backMemory = MemoryOf(back);
    Sleep(3);
    int64_t asked = HostTicks();
    int64_t interval = HeadlessRefreshTicks();

    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    ASSERT_EQ(HeadlessFrames().size(), 1u);
    const HeadlessFrame& shown = HeadlessFrames()[0];
    EXPECT_EQ(shown.ticks, (asked / interval + 1) * interval);
    EXPECT_EQ(std::count(shown.pixels.begin(), shown.pixels.end(), kRed), 64 * 32);
    EXPECT_EQ(MemoryOf(front), backMemory);
    EXPECT_EQ(MemoryOf(back), frontMemory);
    EXPECT_EQ(CountPixels(back, kBlue), 64 * 32);  // the picture that was on show

    IDirectDrawSurface7* plain = CreatePlain(4, 4);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(plain->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(front->Flip(plain, DDFLIP_WAIT), DDERR_INVALIDPARAMS);
    Sleep(3);
    asked = HostTicks();
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(HeadlessFrames().size(), 2u);
    EXPECT_EQ(HeadlessFrames().back().ticks, asked);
}

// The display is given only what changed, and a clear rewrites only what
// was written since the last: every way of writing must count for both. The
// writing reaches the display with the next flip, and the clear two flips on
// (when the buffer comes back) takes it away again.
TEST_F(SoftDirectDrawTest, EveryWayOfWritingReachesTheDisplayAndTheClearsAfterIt) {
    HeadlessKeepPixels(true);
    OpenWithChain(37, 23);  // rows with padding
    IDirectDrawSurface7* sprite = CreatePlain(4, 4);
    ASSERT_EQ(Fill(sprite, kRed), DD_OK);
    RECT area = {5, 6, 9, 10};
    const std::pair<const char*, std::function<HRESULT()>> writers[] = {
        {"GDI",
         [&] {
             HDC dc = nullptr;
             if (HRESULT got = back->GetDC(&dc); got != DD_OK) return got;
             SetPixelV(dc, 30, 20, 0x00030201);
             return back->ReleaseDC(dc);
         }},
        {"colour fill", [&] { return Fill(back, kBlue, &area); }},
        {"Blt", [&] { return back->Blt(&area, sprite, nullptr, DDBLT_WAIT, nullptr); }},
        {"BltFast", [&] { return back->BltFast(33, 0, sprite, nullptr, DDBLTFAST_WAIT); }},
        {"Lock",
         [&] {
             return ForEachPixel(back, [](int x, int y, uint32_t& pixel) { pixel = x == 0 && y == 22 ? kBlue : pixel; })
                        ? DD_OK
                        : DDERR_GENERIC;
         }},
    };
    auto clearAndFlip = [this] {
        ASSERT_EQ(Fill(back, 0), DD_OK);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    };
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name);
        clearAndFlip();
        clearAndFlip();
        ASSERT_EQ(write(), DD_OK);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        std::vector<uint32_t> written;
        ForEachPixel(front, [&written](int, int, uint32_t& pixel) { written.push_back(pixel); });
        EXPECT_NE(std::count(written.begin(), written.end(), 0u), 37 * 23);
        EXPECT_TRUE(HeadlessFrames().back().pixels == written);
        clearAndFlip();
        clearAndFlip();
        const std::vector<uint32_t>& shown = HeadlessFrames().back().pixels;
        EXPECT_EQ(std::count(shown.begin(), shown.end(), 0u), 37 * 23);
    }
}

TEST_F(SoftDirectDrawTest, ColourFillCoversItsRectangleOnEveryRow) {
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    // Five pixels make a 32-byte pitch: the rows are not one run of memory.
    IDirectDrawSurface7* padded = CreatePlain(5, 4);
    IDirectDrawSurface7* packed = CreatePlain(8, 4);
    ASSERT_EQ(Fill(padded, kRed), DD_OK);
    ASSERT_EQ(Fill(packed, kRed), DD_OK);
    EXPECT_EQ(CountPixels(padded, kRed), 20);
    EXPECT_EQ(CountPixels(packed, kRed), 32);

    RECT area = {1, 1, 3, 4};
    ASSERT_EQ(Fill(padded, kBlue, &area), DD_OK);
    EXPECT_EQ(CountPixels(padded, kBlue), 6);
    EXPECT_EQ(PixelAt(padded, 3, 1), kRed);  // the right edge is excluded
    RECT beyond = {3, 0, 6, 1};
    RECT empty = {2, 2, 2, 3};
    EXPECT_EQ(Fill(padded, kBlue, &beyond), DDERR_INVALIDRECT);
    EXPECT_EQ(Fill(padded, kBlue, &empty), DDERR_INVALIDRECT);
}

TEST_F(SoftDirectDrawTest, CopiesMoveRectanglesBetweenAndWithinSurfaces) {
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface7* source = CreatePlain(6, 4);
    IDirectDrawSurface7* target = CreatePlain(6, 4);
    ForEachPixel(source, [](int x, int y, uint32_t& pixel) { pixel = uint32_t(x + 16 * y); });
    ASSERT_EQ(target->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ForEachPixel(target, [](int x, int y, uint32_t& pixel) { EXPECT_EQ(pixel, uint32_t(x + 16 * y)); });
    EXPECT_EQ(CreatePlain(5, 4)->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_UNSUPPORTED);

    ASSERT_EQ(Fill(target, 0), DD_OK);
    RECT from = {1, 1, 3, 3};
    ASSERT_EQ(target->BltFast(3, 2, source, &from, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(PixelAt(target, 4, 3), uint32_t(2 + 32));
    EXPECT_EQ(CountPixels(target, 0), 24 - 4);
    EXPECT_EQ(target->BltFast(5, 0, source, &from, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    RECT outside = {4, 0, 7, 1};
    EXPECT_EQ(target->BltFast(0, 0, source, &outside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);

    // Moving rows down within one surface reads each row before it is overwritten.
    RECT top = {0, 0, 6, 3};
    ASSERT_EQ(source->BltFast(0, 1, source, &top, DDBLTFAST_NOCOLORKEY), DD_OK);
    ForEachPixel(source, [](int x, int y, uint32_t& pixel) { EXPECT_EQ(pixel, uint32_t(x + 16 * (y ? y - 1 : 0))); });
}

TEST_F(SoftDirectDrawTest, ASurfaceIsLockedOrLendsADeviceContextNeverBoth) {
    OpenWithChain(64, 32);
    int dcsBefore = SoftGdiDcCount();
    DDSURFACEDESC2 locked = Described();
    HDC dc = nullptr;
    HDC again = nullptr;
    ASSERT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(back->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back->Unlock(nullptr), DDERR_NOTLOCKED);

    ASSERT_EQ(back->GetDC(&dc), DD_OK);
    EXPECT_EQ(back->GetDC(&again), DDERR_DCALREADYCREATED);
    EXPECT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(Fill(back, kRed), DDERR_SURFACEBUSY);
    // The context draws into the surface's own rows, pitch and all.
    EXPECT_TRUE(SetPixelV(dc, 63, 31, 0x00332211));
    uint32_t elsewhere = 0;
    HDC foreign = SoftSurfaceDcCreate(&elsewhere, 1, 1, 4);
    EXPECT_NE(back->ReleaseDC(foreign), DD_OK);
    DeleteDC(foreign);
    EXPECT_EQ(back->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(back->ReleaseDC(dc), DDERR_NODC);
    EXPECT_EQ(SoftGdiDcCount(), dcsBefore);
    EXPECT_EQ(PixelAt(back, 63, 31), 0x00112233u);
}

TEST_F(SoftDirectDrawTest, FocusLossLosesEverySurfaceUntilRestoredAfterItsReturn) {
    OpenWithChain(64, 32);
    IDirectDrawSurface7* sprite = CreatePlain(8, 8);
    ASSERT_EQ(Fill(sprite, kRed), DD_OK);
    int opens = HeadlessDisplay().opens;
    SoftDisplayFocus(false);
    EXPECT_TRUE(HeadlessDisplay().open);
    for (IDirectDrawSurface7* surface : {front, back, sprite}) EXPECT_EQ(surface->IsLost(), DDERR_SURFACELOST);
    DDSURFACEDESC2 locked = Described();
    HDC dc = nullptr;
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(Fill(sprite, kRed), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(dd->RestoreAllSurfaces(), DDERR_WRONGMODE);

    SoftDisplayFocus(true);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    // What the display does when a flip meets the loss.
    EXPECT_EQ(dd->SetCooperativeLevel(kWindow, kExclusive), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(64, 32, 32, 0, 0), DD_OK);
    EXPECT_EQ(HeadlessDisplay().opens, opens + 1);
    EXPECT_EQ(dd->RestoreAllSurfaces(), DD_OK);
    for (IDirectDrawSurface7* surface : {front, back, sprite}) EXPECT_EQ(surface->IsLost(), DD_OK);
    EXPECT_EQ(CountPixels(sprite, kSoftLostSurfacePixel), 64);  // the picture did not come back
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
}

TEST_F(SoftDirectDrawTest, ModeChangesLoseSurfacesAndAChainComesBackOnlyInItsMode) {
    OpenWithChain(64, 32);
    IDirectDrawSurface7* sprite = CreatePlain(8, 8);
    ASSERT_EQ(dd->SetDisplayMode(32, 16, 32, 0, 0), DD_OK);
    EXPECT_EQ(sprite->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->Restore(), DDERR_IMPLICITLYCREATED);
    EXPECT_EQ(dd->RestoreAllSurfaces(), DDERR_WRONGMODE);
    EXPECT_EQ(sprite->IsLost(), DD_OK);  // restored all the same
    EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);

    ASSERT_EQ(dd->SetDisplayMode(64, 32, 32, 0, 0), DD_OK);
    EXPECT_EQ(front->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(front->Restore(), DDERR_NOEXCLUSIVEMODE);
}

TEST_F(SoftDirectDrawTest, LastReleaseOfTheObjectTakesItsSurfacesAndTheDisplay) {
    OpenWithChain(64, 32);
    // A device context still lent out goes with its surface.
    int dcsBefore = SoftGdiDcCount();
    HDC dc = nullptr;
    ASSERT_EQ(CreatePlain(8, 8)->GetDC(&dc), DD_OK);
    EXPECT_EQ(SoftDirectDrawSurfaceCount(), surfacesBefore + 3);

    EXPECT_EQ(dd->Release(), 0u);
    dd = nullptr;
    EXPECT_EQ(SoftDirectDrawSurfaceCount(), surfacesBefore);
    EXPECT_EQ(SoftDirectDrawObjectCount(), objectsBefore);
    EXPECT_EQ(SoftGdiDcCount(), dcsBefore);
    EXPECT_FALSE(HeadlessDisplay().open);
}

// At the normal level the primary surface stands alone. A copy onto it, with
// a clipper on a window in another program's window, shows in that window
// from its top-left corner, and nowhere once it has gone; the surface holds
// its clipper.
TEST_F(SoftDirectDrawTest, APrimaryWithAClipperShowsCopiesInAnotherProgramsWindow) {
    HeadlessKeepPixels(true);
    HeadlessOfferWindow(5, 100, 50);
    HWND foreign = SoftForeignWindow(5);
    WNDCLASSEXA windowClass = {
        sizeof(windowClass),  0,      DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
        "SoftDirectDrawTest", nullptr};
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND child =
        CreateWindowExA(0, "SoftDirectDrawTest", "", WS_CHILD, 10, 5, 30, 20, foreign, nullptr, nullptr, nullptr);
    RECT client = {};
    POINT origin = {1, 1};
    ASSERT_TRUE(GetClientRect(foreign, &client) && ClientToScreen(child, &origin));
    EXPECT_EQ(client.right * 1000 + client.bottom, 100050);
    EXPECT_EQ(origin.x * 1000 + origin.y, 11006);
    ASSERT_EQ(dd->SetCooperativeLevel(child, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 primary = Described();
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ASSERT_EQ(dd->CreateSurface(&primary, &front, nullptr), DD_OK);
    EXPECT_EQ(dd->CreateSurface(&primary, &back, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    EXPECT_EQ(clipper->SetHWnd(0, kWindow), DDERR_INVALIDPARAMS);
    ASSERT_EQ(clipper->SetHWnd(0, child), DD_OK);
    ASSERT_EQ(front->SetClipper(clipper), DD_OK);
    EXPECT_EQ(clipper->Release(), 1u);
    IDirectDrawSurface7* picture = CreatePlain(30, 20);
    ASSERT_EQ(Fill(picture, kRed), DD_OK);
    RECT to = {11, 6, 41, 26}, wide = {11, 6, 51, 26};
    EXPECT_EQ(front->Blt(&wide, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_UNSUPPORTED);
    EXPECT_EQ(front->Blt(&to, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(HeadlessFrames().size(), 1u);
    const std::vector<uint32_t>& shown = HeadlessFrames()[0].pixels;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), kRed), 30 * 20);
    EXPECT_EQ(shown[19 * 100 + 29], kRed);
    HeadlessScriptWindowSize(0, 0, 0);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(front->Blt(&to, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    front->Release();
    EXPECT_EQ(SoftDirectDrawClipperCount(), 0);
    // The wait for the blank is the only one offered.
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(HostTicks() % HeadlessRefreshTicks(), 0);
    EXPECT_EQ(dd->WaitForVerticalBlank(4, nullptr), DDERR_UNSUPPORTED);
}

TEST_F(SoftDirectDrawTest, GammaControlBelongsToThePrimaryAndReachesTheHost) {
    OpenWithChain(64, 32);
    IDirectDrawGammaControl* gamma = nullptr;
    EXPECT_EQ(back->QueryInterface(kIidDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), E_NOINTERFACE);
    EXPECT_EQ(gamma, nullptr);
    ASSERT_EQ(front->QueryInterface(kIidDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), S_OK);

    DDGAMMARAMP ramp;
    ASSERT_EQ(gamma->GetGammaRamp(0, &ramp), DD_OK);
    EXPECT_EQ(std::memcmp(&ramp, HeadlessDisplay().gamma, sizeof(ramp)), 0);
    ramp.blue[10] = 7;
    ASSERT_EQ(gamma->SetGammaRamp(0, &ramp), DD_OK);
    EXPECT_EQ(HeadlessDisplay().gamma[512 + 10], 7);

    // The control counts the surface's references.
    EXPECT_EQ(front->AddRef(), 3u);
    EXPECT_EQ(gamma->Release(), 2u);
    EXPECT_EQ(front->Release(), 1u);
}

// ---- winmm ----------------------------------------------------------------

using SoftWinmmTest = RuntimeTest;

TEST_F(SoftWinmmTest, PeriodsEndOnlyAsTheyWereBegun) {
    int before = SoftTimerPeriodsBegun();
    EXPECT_EQ(timeBeginPeriod(0), MMRESULT{TIMERR_NOCANDO});
    EXPECT_EQ(timeBeginPeriod(7), MMRESULT{TIMERR_NOERROR});
    EXPECT_EQ(SoftTimerPeriodsBegun(), before + 1);
    EXPECT_EQ(timeEndPeriod(3), MMRESULT{TIMERR_NOCANDO});
    EXPECT_EQ(timeEndPeriod(7), MMRESULT{TIMERR_NOERROR});
    EXPECT_EQ(timeEndPeriod(7), MMRESULT{TIMERR_NOCANDO});
    EXPECT_EQ(SoftTimerPeriodsBegun(), before);
}
