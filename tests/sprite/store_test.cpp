// The sprite store: making sprites, and their pixels carried over a loss of
// the exclusive display, on an open 640 x 480 x 32 headless screen.
#include "sprite/store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/runtime.h"
#include "display/screen.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/display.h"

namespace {

uint32_t Pattern(int x, int y) { return 0x00010203u * uint32_t(x + 1) + 0x00300000u * uint32_t(y + 1); }

class StoreTest : public OpenDisplayTest {
protected:
    SpriteRecord* Make(intptr_t number, int width, int height, int32_t flags = 0) {
        auto* sprite = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, number));
        EXPECT_NE(SpriteSurfaceCreate(sprite, width, height, 0, flags), nullptr);
        return sprite;
    }

    // The sprite's pixels, row after row without padding; empty when it
    // cannot be locked.
    static std::vector<uint32_t> Pixels(SpriteRecord* sprite, bool paint = false) {
        std::vector<uint32_t> pixels;
        ForEachPixel(SpriteSurface(sprite), [&](int x, int y, uint32_t& pixel) {
            if (paint) pixel = Pattern(x, y);
            pixels.push_back(pixel);
        });
        return pixels;
    }

    static void Focus(HostEventType change) {
        HeadlessScript(int(HeadlessFrames().size()), {change, 0, 0, 0});
        ScreenFlip();
    }
};

}  // namespace

TEST_F(StoreTest, SpritePixelsSurviveAFocusLossAndRecovery) {
    SpriteRecord* numbered = Make(3, 13, 10);
    SpriteRecord* numberless = Make(-1, 7, 5, kSpriteSystemMemory);
    std::vector<uint32_t> picture = Pixels(numbered, true);
    std::vector<uint32_t> small = Pixels(numberless, true);
    Focus(HostEventType::FocusLost);
    EXPECT_NE(numbered->backup, nullptr);
    EXPECT_NE(numberless->backup, nullptr);
    Focus(HostEventType::FocusGained);
    EXPECT_EQ(numbered->backup, nullptr);
    EXPECT_EQ(numberless->backup, nullptr);
    EXPECT_EQ(Pixels(numbered), picture);
    EXPECT_EQ(Pixels(numberless), small);
}

// The software display's rows are 16-byte aligned: 13 pixels take 64 bytes.
TEST_F(StoreTest, BackupIsThePitchThenTheRowsOfTheSystemMemoryCopy) {
    SpriteRecord* sprite = Make(0, 13, 10);
    std::vector<uint32_t> picture = Pixels(sprite, true);
    size_t blocks = SoftHeapBlockCount(Runtime.mainHeap);
    Focus(HostEventType::FocusLost);
    ASSERT_NE(sprite->backup, nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), blocks + 1);
    uint32_t pitch;
    std::memcpy(&pitch, sprite->backup, 4);
    EXPECT_EQ(pitch, 64u);
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(std::memcmp(sprite->backup + 4 + y * 64, &picture[y * 13], 13 * 4), 0) << y;
    }
}

// A second backup while the surfaces are lost would copy nothing; the first
// one must be what comes back.
TEST_F(StoreTest, SecondFocusLossKeepsTheFirstBackup) {
    SpriteRecord* sprite = Make(0, 20, 10);
    std::vector<uint32_t> picture = Pixels(sprite, true);
    Focus(HostEventType::FocusLost);
    uint8_t* first = sprite->backup;
    size_t blocks = SoftHeapBlockCount(Runtime.mainHeap);
    SpriteBackupAll();
    EXPECT_EQ(sprite->backup, first);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), blocks);
    Focus(HostEventType::FocusGained);
    EXPECT_EQ(Pixels(sprite), picture);
}

TEST_F(StoreTest, FailedRestoreLockKeepsTheBackupForTheNextRestore) {
    SpriteRecord* sprite = Make(0, 20, 10);
    std::vector<uint32_t> picture = Pixels(sprite, true);
    Focus(HostEventType::FocusLost);
    FailOn(SoftOp::IDirectDrawSurface7_Lock, 1, DDERR_SURFACELOST);
    Focus(HostEventType::FocusGained);
    EXPECT_EQ(HeadlessFaultsPending(), 0);
    ASSERT_NE(sprite->backup, nullptr);
    EXPECT_EQ(Pixels(sprite), std::vector<uint32_t>(200, kSoftLostSurfacePixel));
    SpriteRestoreAll();
    EXPECT_EQ(sprite->backup, nullptr);
    EXPECT_EQ(Pixels(sprite), picture);
}

// A backup refused at any step is no backup: its copy surface and any block
// are given back, and the restore that follows brings the surface back with
// the lost picture rather than stale or foreign bytes.
TEST_F(StoreTest, RefusedBackupKeepsNothingAndTheRestoreLeavesTheLostPicture) {
    struct {
        Fault operation;
        int64_t result;
    } faults[] = {{SoftOp::IDirectDraw7_CreateSurface, DDERR_OUTOFMEMORY},
                  {SoftOp::IDirectDrawSurface7_Blt, DDERR_GENERIC},
                  {SoftOp::IDirectDrawSurface7_Lock, DDERR_SURFACEBUSY},
                  {SoftOp::HeapAlloc, 0}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.operation);
        SpriteRecord* sprite = Make(0, 20, 10);
        Pixels(sprite, true);
        int surfaces = SurfaceCount();
        size_t blocks = SoftHeapBlockCount(Runtime.mainHeap);
        FailOn(fault.operation, 1, fault.result);
        Focus(HostEventType::FocusLost);
        EXPECT_EQ(HeadlessFaultsPending(), 0);
        EXPECT_EQ(sprite->backup, nullptr);
        EXPECT_EQ(SurfaceCount(), surfaces);
        EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), blocks);
        Focus(HostEventType::FocusGained);
        EXPECT_EQ(Pixels(sprite), std::vector<uint32_t>(200, kSoftLostSurfacePixel));
    }
}

// Restoring the display restores every surface; a sprite lost by itself, here
// through a mode change, is restored before its pixels go back.
TEST_F(StoreTest, RestoreBringsBackALostSurfaceBeforeCopying) {
    SpriteRecord* sprite = Make(0, 20, 10);
    std::vector<uint32_t> picture = Pixels(sprite, true);
    SpriteBackupAll();
    ASSERT_EQ(ScreenState.displayObject->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    SpriteRestoreAll();
    EXPECT_EQ(sprite->backup, nullptr);
    EXPECT_EQ(Pixels(sprite), picture);
}

// A memory sprite's block is no surface: no copy of it is even begun (the
// armed fault stays unspent), and a backup it somehow holds is not consumed.
TEST_F(StoreTest, MemorySpritesAreNeitherBackedUpNorRestored) {
    SpriteRecord* memory = Make(1, 8, 8, kSpriteMemoryOnly);
    ASSERT_EQ(memory->depth, kSpriteInMemory);
    std::memset(memory->surface, 0x5A, 64);
    FailOn(SoftOp::IDirectDraw7_CreateSurface, 1, DDERR_GENERIC);
    Focus(HostEventType::FocusLost);
    EXPECT_EQ(HeadlessFaultsPending(), 1);
    EXPECT_EQ(memory->backup, nullptr);
    memory->backup = static_cast<uint8_t*>(HeapAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, 4 + 64));
    Focus(HostEventType::FocusGained);
    EXPECT_NE(memory->backup, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(memory->surface)[63], 0x5A);
}

// Depth is refused only where it or the screen's has fewer than 16 bits; the
// flags choose the memory, a texture or the explicit alpha format.
TEST_F(StoreTest, CreationFollowsItsFlagsAndDepth) {
    SpriteRecord record;
    EXPECT_EQ(SpriteSurfaceCreate(&record, 8, 8, 16, kSpriteMemoryOnly), nullptr);
    EXPECT_EQ(SpriteSurfaceCreate(&record, 8, 8, 8, 0), nullptr);
    struct {
        int32_t depth, flags;
        DWORD caps;
        DWORD formatFlags;
    } cases[] = {{24, 0, DDSCAPS_OFFSCREENPLAIN, DDPF_RGB},
                 {0, kSpriteSystemMemory, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, DDPF_RGB},
                 {0, kSpriteSystemMemory | kSpriteTexture, DDSCAPS_TEXTURE, DDPF_RGB},
                 {0, kSpriteSystemMemory | kSpriteAlpha, DDSCAPS_OFFSCREENPLAIN, DDPF_RGB | DDPF_ALPHAPIXELS}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " " << c.flags);
        auto* sprite = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 2));
        ASSERT_NE(SpriteSurfaceCreate(sprite, 8, 8, c.depth, c.flags), nullptr);
        DDSURFACEDESC2 locked = Described();
        ASSERT_EQ(SpriteSurface(sprite)->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
        SpriteSurface(sprite)->Unlock(nullptr);
        EXPECT_EQ(locked.ddsCaps.dwCaps & c.caps, c.caps);
        EXPECT_EQ(locked.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, c.caps & DDSCAPS_SYSTEMMEMORY);
        EXPECT_EQ(locked.ddpfPixelFormat.dwFlags, c.formatFlags);
        EXPECT_EQ(locked.ddpfPixelFormat.dwRGBBitCount, 32u);
    }
}
