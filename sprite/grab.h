// The screen grab into a sprite, and the bitmap file writer.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Writes converted rows (bottom row first, rowBytes each) as a file.
typedef int32_t (*ImageEncodeRoutine)(const char* fileName, const uint8_t* rows, int32_t width, int32_t height,
                                      int32_t rowBytes, int32_t flags);

struct ImageEncoder {
    int32_t key;
    ImageEncodeRoutine encode;
};

constexpr int32_t kImageRegistryCapacity = 100;

struct ImageEncoderTableRecord {
    const ImageEncoder* encoders[kImageRegistryCapacity];
    int32_t count;
};

struct ImageHandlerListRecord {
    const void* handlers[kImageRegistryCapacity];
    int32_t count;
    void* openStream;  // a standard file stream, forgotten by ImageHandlerReset
};

extern ImageEncoderTableRecord ImageEncoderTable;
extern ImageHandlerListRecord ImageHandlerList;

// Copies the rectangle of the draw surface at (x, y) into sprite `number`
// (-1: a new numberless sprite). The sprite's handle for -1, else its
// surface; 0 on failure.
intptr_t SpriteGrab(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, int32_t flags = 0);

// Writes sprite `number` to `fileName`: a 24-bit BMP for encoder key 0, else
// through the registered encoder of that key. 1 when the file was written.
int32_t SpriteSave(intptr_t number, const char* fileName, int32_t encoderKey = 0, int32_t flags = 7);

// The surface's top-left width x height pixels as bottom-up rows of blue,
// green and red bytes, rowBytes = 3 * width + (width & 3) apart, read as
// `depth` bits per pixel. 1 when the rows were written.
int32_t SurfaceToBgrRows(IDirectDrawSurface7* surface, int32_t width, int32_t height, int32_t depth, uint8_t* out);

// Registrations beyond the hundredth are refused: 0; otherwise 1.
int32_t ImageEncoderRegister(const ImageEncoder* encoder);
int32_t ImageEncoderCall(const char* fileName, const uint8_t* rows, int32_t key, int32_t width, int32_t height,
                         int32_t rowBytes, int32_t flags);
int32_t ImageHandlerRegister(const void* handler);
void ImageHandlerReset();
// Forgets every encoder and handler registered: the tables as a new process
// has them.
void GrabForget();
