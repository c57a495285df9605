// Numbered off-screen images for the display, and the backup that carries
// their pixels over a loss of the exclusive display.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Kept 8-byte aligned in the sprite table (24 bytes on 32-bit x86).
struct alignas(8) SpriteRecord {
    // The sprite's IDirectDrawSurface7, or a memory sprite's pixel block;
    // 0 marks an empty slot.
    void* surface;
    int16_t width;
    int16_t height;
    int16_t depth;  // 0: the screen's own; kSpriteInMemory: a memory sprite
    uint16_t flags;
    uint8_t* backup;  // the pitch, then the rows; 0 when there is none
    int16_t bufferWidth;
    int16_t bufferHeight;
};

constexpr int16_t kSpriteInMemory = -2;

// Creation flags.
constexpr int32_t kSpriteSystemMemory = 1;  // exactly 1
constexpr int32_t kSpriteMemoryOnly = 2;    // exactly 2
constexpr int32_t kSpriteTexture = 4;       // bit
constexpr int32_t kSpriteAlpha = 8;         // bit

IDirectDrawSurface7* SpriteSurface(const SpriteRecord* sprite);

void* SpriteSurfaceCreate(SpriteRecord* record, int32_t width, int32_t height, int32_t depth, int32_t flags);
void SpriteFree(intptr_t number);
void SpriteBackupAll();
int32_t SpriteBackupOne(intptr_t number, void* record, intptr_t context);
void SpriteRestoreAll();
int32_t SpriteRestoreOne(intptr_t number, void* record, intptr_t context);
