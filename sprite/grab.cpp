// The screen grab into a sprite, the conversion of a surface's pixels to the
// rows a 24-bit BMP stores, and the writer of the file.
#include "sprite/grab.h"

#include <cstdio>
#include <cstring>

#include "core/object_table.h"
#include "core/runtime.h"
#include "display/screen.h"
#include "sprite/store.h"

ImageEncoderTableRecord ImageEncoderTable;
ImageHandlerListRecord ImageHandlerList;

namespace {

constexpr uint32_t kHeadersSize = 14 + 40;

struct BmpHeaders {
    uint8_t bytes[kHeadersSize];
};

void PutLittleEndian(uint8_t* at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

BmpHeaders HeadersFor(int32_t width, int32_t height, uint32_t imageBytes) {
    BmpHeaders headers = {};
    uint8_t* b = headers.bytes;
    b[0] = 'B';
    b[1] = 'M';
    PutLittleEndian(b + 2, kHeadersSize + imageBytes, 4);
    PutLittleEndian(b + 10, kHeadersSize, 4);
    PutLittleEndian(b + 14, 40, 4);
    PutLittleEndian(b + 18, static_cast<uint32_t>(width), 4);
    PutLittleEndian(b + 22, static_cast<uint32_t>(height), 4);  // positive: bottom-up
    PutLittleEndian(b + 26, 1, 2);
    PutLittleEndian(b + 28, 24, 2);
    return headers;  // no compression, no palette: the rest stays 0
}

int64_t RowBytes(int32_t width) { return 3 * int64_t{width} + (width & 3); }

// A failure, with its reason for GetLastError.
int32_t Refused(DWORD reason) {
    SetLastError(reason);
    return 0;
}

// A write that reports fewer bytes than asked ran out of room.
bool WriteAll(HANDLE file, const void* data, uint32_t length) {
    DWORD written = 0;
    if (!WriteFile(file, data, length, &written, nullptr)) return false;
    return written == length || Refused(ERROR_DISK_FULL);
}

// Keeps the reason a step of a save failed for, past the steps that clean up after it.
int32_t SaveFailed(HANDLE file, const char* temporary) {
    DWORD reason = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileA(temporary);
    SetLastError(reason);
    return 0;
}

// Writes the whole file beside its final place, under the final name with
// ".tmp" added, and puts it there only when every write succeeded: a failure
// leaves the earlier file as it was and no partial one. Whatever has the
// temporary name is removed first and the file is made anew, so that no
// link, pipe or file left there (by a save that never ended, say) can
// redirect the picture or hold the save up.
int32_t WriteBmpFile(const char* fileName, const BmpHeaders& headers, const uint8_t* rows, uint32_t imageBytes) {
    char temporary[MAX_PATH];
    int length = std::snprintf(temporary, sizeof(temporary), "%s.tmp", fileName);
    if (length < 0 || length >= int(sizeof(temporary))) return Refused(ERROR_FILENAME_EXCED_RANGE);
    DeleteFileA(temporary);
    HANDLE file =
        CreateFileA(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    if (!WriteAll(file, headers.bytes, 14) || !WriteAll(file, headers.bytes + 14, 40) ||
        !WriteAll(file, rows, imageBytes)) {
        return SaveFailed(file, temporary);
    }
    if (!CloseHandle(file)) return SaveFailed(INVALID_HANDLE_VALUE, temporary);
    if (!MoveFileExA(temporary, fileName, MOVEFILE_REPLACE_EXISTING))
        return SaveFailed(INVALID_HANDLE_VALUE, temporary);
    return 1;
}

void RowFrom16(const uint8_t* source, int32_t width, uint8_t* target) {
    for (int32_t x = 0; x < width; ++x, target += 3) {
        uint32_t p = uint32_t{source[2 * x]} | uint32_t{source[2 * x + 1]} << 8;
        target[0] = static_cast<uint8_t>((p & 0x1F) << 3);
        target[1] = static_cast<uint8_t>(((p >> 5) & 0x3F) << 2);
        target[2] = static_cast<uint8_t>(((p >> 11) & 0x1F) << 3);
    }
}

// Words in the processor's order, which is little-endian on both builds.
uint32_t Load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

void Store32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

// The first three bytes of each 4-byte pixel, in memory order, whatever the
// layout: four pixels at a time as three 32-bit words, then one by one.
void RowFrom32(const uint8_t* source, int32_t width, uint8_t* target) {
    int32_t x = 0;
    for (; x + 4 <= width; x += 4, source += 16, target += 12) {
        uint32_t p0 = Load32(source);
        uint32_t p1 = Load32(source + 4);
        uint32_t p2 = Load32(source + 8);
        uint32_t p3 = Load32(source + 12);
        Store32(target, (p0 & 0xFFFFFF) | p1 << 24);
        Store32(target + 4, (p1 >> 8 & 0xFFFF) | p2 << 16);
        Store32(target + 8, (p2 >> 16 & 0xFF) | p3 << 8);
    }
    for (; x < width; ++x, source += 4, target += 3) std::memcpy(target, source, 3);
}

void RowFrom24(const uint8_t* source, int32_t width, uint8_t* target) {
    std::memcpy(target, source, size_t(width) * 3);
}

void ConvertLockedRows(const uint8_t* pixels, int32_t pitch, int32_t width, int32_t height, int32_t depth,
                       uint8_t* out) {
    const int64_t rowBytes = RowBytes(width);
    auto convert = depth == 16 ? RowFrom16 : depth == 24 ? RowFrom24 : RowFrom32;
    for (int32_t r = 0; r < height; ++r) {
        convert(pixels + int64_t{height - 1 - r} * pitch, width, out + r * rowBytes);
    }
}

int32_t ConvertThroughDc(IDirectDrawSurface7* surface, int32_t width, int32_t height, uint8_t* out) {
    HDC dc = nullptr;
    if (surface->GetDC(&dc) != DD_OK) return 0;
    const int64_t rowBytes = RowBytes(width);
    for (int32_t r = 0; r < height; ++r) {
        uint8_t* target = out + r * rowBytes;
        for (int32_t x = 0; x < width; ++x, target += 3) {
            COLORREF c = GetPixel(dc, x, height - 1 - r);
            target[0] = static_cast<uint8_t>(c >> 16);
            target[1] = static_cast<uint8_t>(c >> 8);
            target[2] = static_cast<uint8_t>(c);
        }
    }
    surface->ReleaseDC(dc);
    return 1;
}

// Registries hold a hundred entries; one more is refused, never written past.
bool HasRoom(int32_t count) { return count >= 0 && count < kImageRegistryCapacity; }

}  // namespace

namespace {

// A grab that fails leaves no sprite: a numbered slot stays empty by itself,
// a dynamic record made for the grab is given back.
intptr_t GrabFailed(intptr_t number, SpriteRecord* sprite, DWORD reason) {
    if (number == -1) ObjectTableFree(ScreenState.spriteTable, reinterpret_cast<intptr_t>(sprite));
    return Refused(reason);
}

}  // namespace

intptr_t SpriteGrab(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, int32_t flags) {
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, number));
    if (!sprite) return Refused(number < -1 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
    if (x < 0 || int64_t{x} + width > ScreenState.drawWidth || y < 0 || int64_t{y} + height > ScreenState.drawHeight) {
        return GrabFailed(number, sprite, ERROR_INVALID_PARAMETER);
    }
    // A memory sprite is a block of bytes that no copy between surfaces can reach.
    if (flags == kSpriteMemoryOnly) return GrabFailed(number, sprite, ERROR_INVALID_PARAMETER);
    if (!SpriteSurfaceCreate(sprite, width, height, 0, flags)) {
        return GrabFailed(number, sprite, ERROR_NOT_ENOUGH_MEMORY);
    }
    IDirectDrawSurface7* surface = SpriteSurface(sprite);
    RECT area = {x, y, x + width, y + height};
    surface->BltFast(0, 0, ScreenState.drawSurface, &area, DDBLTFAST_WAIT);
    surface->SetColorKey(DDCKEY_SRCBLT, &ScreenState.spriteColourKey);
    return number == -1 ? reinterpret_cast<intptr_t>(sprite) : reinterpret_cast<intptr_t>(surface);
}

int32_t SurfaceToBgrRows(IDirectDrawSurface7* surface, int32_t width, int32_t height, int32_t depth, uint8_t* out) {
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof(locked));
    locked.dwSize = sizeof(locked);
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) return 0;
    if (depth == 16 || depth == 24 || depth == 32) {
        ConvertLockedRows(static_cast<const uint8_t*>(locked.lpSurface), locked.lPitch, width, height, depth, out);
        surface->Unlock(nullptr);
        return 1;
    }
    surface->Unlock(nullptr);
    return ConvertThroughDc(surface, width, height, out);
}

// A failed save says why through GetLastError.
int32_t SpriteSave(intptr_t number, const char* fileName, int32_t encoderKey, int32_t flags) {
    if (!fileName) return Refused(ERROR_INVALID_PARAMETER);
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableGet(ScreenState.spriteTable, number));
    if (!sprite || sprite->flags == kSpriteMemoryOnly) return Refused(ERROR_INVALID_PARAMETER);
    const int32_t width = sprite->width;
    const int32_t height = sprite->height;
    const int64_t rowBytes = RowBytes(width);
    const int64_t imageBytes = rowBytes * height;
    // The file's size must fit its 32-bit field.
    if (width <= 0 || height <= 0 || imageBytes + kHeadersSize > 0xFFFFFFFF) return Refused(ERROR_INVALID_PARAMETER);
    auto* rows = static_cast<uint8_t*>(HeapAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, size_t(imageBytes)));
    if (!rows) return Refused(ERROR_NOT_ENOUGH_MEMORY);
    int32_t result = 0;
    // Sprites made by the grab have the screen's format: read them at its depth.
    if (!SurfaceToBgrRows(SpriteSurface(sprite), width, height, ScreenState.depth, rows)) {
        SetLastError(ERROR_BUSY);
    } else if (encoderKey == 0) {
        result = WriteBmpFile(fileName, HeadersFor(width, height, uint32_t(imageBytes)), rows, uint32_t(imageBytes));
    } else {
        result = ImageEncoderCall(fileName, rows, encoderKey, width, height, int32_t(rowBytes), flags);
    }
    DWORD reason = GetLastError();
    HeapFree(Runtime.mainHeap, 0, rows);
    SetLastError(reason);
    return result;
}

int32_t ImageEncoderRegister(const ImageEncoder* encoder) {
    if (!HasRoom(ImageEncoderTable.count)) return 0;
    ImageEncoderTable.encoders[ImageEncoderTable.count++] = encoder;
    return 1;
}

int32_t ImageEncoderCall(const char* fileName, const uint8_t* rows, int32_t key, int32_t width, int32_t height,
                         int32_t rowBytes, int32_t flags) {
    for (int32_t i = 0; i < ImageEncoderTable.count; ++i) {
        const ImageEncoder* encoder = ImageEncoderTable.encoders[i];
        if (encoder && encoder->key == key) return encoder->encode(fileName, rows, width, height, rowBytes, flags);
    }
    return 0;
}

int32_t ImageHandlerRegister(const void* handler) {
    if (!HasRoom(ImageHandlerList.count)) return 0;
    ImageHandlerList.handlers[ImageHandlerList.count++] = handler;
    return 1;
}

void GrabForget() {
    ImageEncoderTable = {};
    ImageHandlerList = {};
}

void ImageHandlerReset() {
    ImageHandlerList.count = 0;
    ImageHandlerList.openStream = nullptr;
}
