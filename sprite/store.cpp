#include "sprite/store.h"

#include <cstring>

#include "core/runtime.h"
#include "display/screen.h"

namespace {

// The flags that decide where a sprite's surface lives.
DWORD SpriteCapabilities(int32_t flags) {
    if (flags & kSpriteTexture) return DDSCAPS_TEXTURE;
    if (flags == kSpriteSystemMemory) return DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    return DDSCAPS_OFFSCREENPLAIN;
}

void DescribeAlphaFormat(DDSURFACEDESC2& description) {
    description.dwFlags |= DDSD_PIXELFORMAT;
    DDPIXELFORMAT& format = description.ddpfPixelFormat;
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0x00FF0000;
    format.dwGBitMask = 0x0000FF00;
    format.dwBBitMask = 0x000000FF;
    format.dwRGBAlphaBitMask = 0xFF000000;
}

IDirectDrawSurface7* CreatePlainSurface(int32_t width, int32_t height, DWORD capabilities, bool alpha) {
    if (!ScreenState.displayObject) return nullptr;
    DDSURFACEDESC2 description;
    std::memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    if (alpha) DescribeAlphaFormat(description);
    description.dwWidth = static_cast<DWORD>(width);
    description.dwHeight = static_cast<DWORD>(height);
    description.ddsCaps.dwCaps = capabilities;
    IDirectDrawSurface7* surface = nullptr;
    if (ScreenState.displayObject->CreateSurface(&description, &surface, nullptr) != DD_OK) return nullptr;
    return surface;
}

// The pixels of a surface sprite, copied through a system-memory surface of
// its size: the pitch, then the rows. Null when any step fails.
uint8_t* BackupOf(SpriteRecord* sprite) {
    IDirectDrawSurface7* copy = CreatePlainSurface(sprite->bufferWidth, sprite->bufferHeight,
                                                   DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, false);
    if (!copy) return nullptr;
    uint8_t* backup = nullptr;
    if (copy->Blt(nullptr, SpriteSurface(sprite), nullptr, DDBLT_WAIT, nullptr) == DD_OK) {
        DDSURFACEDESC2 locked;
        std::memset(&locked, 0, sizeof(locked));
        locked.dwSize = sizeof(locked);
        if (copy->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) == DD_OK) {
            uint32_t pitch = static_cast<uint32_t>(locked.lPitch);
            size_t bytes = size_t{pitch} * locked.dwHeight;
            backup = static_cast<uint8_t*>(HeapAlloc(Runtime.mainHeap, 0, bytes + 4));
            if (backup) {
                std::memcpy(backup, &pitch, 4);
                std::memcpy(backup + 4, locked.lpSurface, bytes);
            }
            copy->Unlock(nullptr);
        }
    }
    copy->Release();
    return backup;
}

}  // namespace

IDirectDrawSurface7* SpriteSurface(const SpriteRecord* sprite) {
    return static_cast<IDirectDrawSurface7*>(sprite->surface);
}

void* SpriteSurfaceCreate(SpriteRecord* record, int32_t width, int32_t height, int32_t depth, int32_t flags) {
    record->surface = nullptr;
    record->width = static_cast<int16_t>(width);
    record->height = static_cast<int16_t>(height);
    record->depth = static_cast<int16_t>(depth);
    record->flags = static_cast<uint16_t>(flags);
    record->backup = nullptr;
    record->bufferWidth = static_cast<int16_t>(width);
    record->bufferHeight = static_cast<int16_t>(height);

    if (flags == kSpriteMemoryOnly) {
        if (depth == 0 || depth == 8 || depth == kSpriteInMemory) {
            size_t bytes = size_t(uint16_t(record->width)) * size_t(uint16_t(record->height));
            record->surface = HeapAlloc(Runtime.mainHeap, 0, bytes);
            record->depth = kSpriteInMemory;
        }
        return record->surface;
    }
    // A depth of its own only where both it and the screen's have 16 bits or
    // more; the surface takes the screen's format all the same.
    if (depth != 0 && depth != ScreenState.depth && (depth < 16 || ScreenState.depth < 16)) return nullptr;
    record->surface = CreatePlainSurface(width, height, SpriteCapabilities(flags), (flags & kSpriteAlpha) != 0);
    return record->surface;
}

void SpriteFree(intptr_t number) {
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableGet(ScreenState.spriteTable, number));
    if (!sprite || !sprite->surface) return;
    if (sprite->depth == kSpriteInMemory) {
        HeapFree(Runtime.mainHeap, 0, sprite->surface);
    } else {
        // The display must not go on drawing on a surface that is gone.
        if (ScreenState.drawSurface == SpriteSurface(sprite)) ScreenBufferSelect(-1);
        SpriteSurface(sprite)->Release();
    }
    if (sprite->backup) HeapFree(Runtime.mainHeap, 0, sprite->backup);
    ObjectTableFree(ScreenState.spriteTable, number);
}

void SpriteBackupAll() { ObjectTableForEach(ScreenState.spriteTable, SpriteBackupOne, 0); }

int32_t SpriteBackupOne(intptr_t number, void*, intptr_t) {
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableGet(ScreenState.spriteTable, number));
    if (!sprite || sprite->backup || sprite->depth == kSpriteInMemory) return 1;
    sprite->backup = BackupOf(sprite);
    return 1;
}

void SpriteRestoreAll() { ObjectTableForEach(ScreenState.spriteTable, SpriteRestoreOne, 0); }

int32_t SpriteRestoreOne(intptr_t, void* record, intptr_t) {
    auto* sprite = static_cast<SpriteRecord*>(record);
    if (!sprite->surface || sprite->depth == kSpriteInMemory) return 1;
    IDirectDrawSurface7* surface = SpriteSurface(sprite);
    if (surface->IsLost() == DDERR_SURFACELOST) surface->Restore();
    if (!sprite->backup) return 1;

    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    // A failed lock keeps the backup for a later restore.
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) return 1;
    uint32_t pitch;
    std::memcpy(&pitch, sprite->backup, 4);
    size_t rowBytes = pitch < uint32_t(locked.lPitch) ? pitch : uint32_t(locked.lPitch);
    // Only the rows both the backup and the lock really have.
    int32_t rows = sprite->bufferHeight < int32_t(locked.dwHeight) ? sprite->bufferHeight : int32_t(locked.dwHeight);
    auto* pixels = static_cast<uint8_t*>(locked.lpSurface);
    for (int32_t row = 0; row < rows; ++row) {
        std::memcpy(pixels + size_t(row) * size_t(locked.lPitch), sprite->backup + 4 + size_t(row) * pitch, rowBytes);
    }
    surface->Unlock(nullptr);
    HeapFree(Runtime.mainHeap, 0, sprite->backup);
    sprite->backup = nullptr;
    return 1;
}
