// The software DirectDraw 7: the exclusive display and its mode through the
// host, the primary flip chain with its one back buffer, off-screen surfaces
// and textures of 32-bit X8R8G8B8 pixels, colour fills and copies, locks,
// device contexts of the software GDI over a surface's memory, lost surfaces
// and the primary surface's gamma control.
//
// The library's one record lists every DirectDraw object and every surface:
// a surface handed in by the caller is looked up there before it is used, and
// a focus loss or a mode change reaches every surface through it.
//
// Every surface keeps the bounding rectangle of what was written to it since
// it was last all one colour (SoftDamage). A colour fill rewrites only what
// can differ from its colour, and a flip hands the host only the rectangle in
// which the new front picture can differ from the one on show. Nothing a
// caller can read changes: the pixels are always all there.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/host/host.h"
#include "platform/soft/internal.h"

namespace {

constexpr GUID kIidDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
constexpr GUID kIidDirectDrawSurface7 = {0x06675A80, 0x3B9B, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
constexpr GUID kIidDirectDrawClipper = {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
constexpr GUID kIidDirectDrawGammaControl = {
    0x69C11C3E, 0xB46B, 0x11D1, {0xAD, 0x7A, 0x00, 0xC0, 0x4F, 0xC2, 0x9B, 0x4E}};

constexpr DWORD kExclusiveLevel = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE;
constexpr DWORD kPrimaryChainCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
constexpr DWORD kFlipCaps = DDSCAPS_FLIP | DDSCAPS_COMPLEX;
constexpr DWORD kMemoryCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY;
constexpr DWORD kPlainCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE | kMemoryCaps | DDSCAPS_3DDEVICE;
constexpr DWORD kPlainDescription = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;

// The largest side of a surface or a display mode.
constexpr DWORD kMaxSide = 16384;
// Rows start on 16-byte boundaries, as display memory's rows often do, so a
// row's pitch can be more than its four bytes per pixel.
constexpr int kRowAlignment = 16;

struct SoftDirectDraw;
struct SoftSurface;

// A clipper names the window that a primary surface's picture is shown in.
struct SoftClipper final : IDirectDrawClipper {
    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override;

    ULONG refs = 1;
    HWND window = nullptr;
};

// Pixel memory comes zeroed from calloc, which for a large block takes fresh
// pages from the system instead of writing zeros over them.
struct FreePixels {
    void operator()(uint32_t* pixels) const { std::free(pixels); }
};
using PixelMemory = std::unique_ptr<uint32_t[], FreePixels>;

// The gamma control is another face of the primary surface: it shares the
// surface's reference count, as COM interfaces of one object do.
struct SoftGammaControl final : IDirectDrawGammaControl {
    explicit SoftGammaControl(SoftSurface* surface) : surface(surface) {}

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetGammaRamp(DWORD dwFlags, LPDDGAMMARAMP lpRampData) override;
    HRESULT SetGammaRamp(DWORD dwFlags, LPDDGAMMARAMP lpRampData) override;

    SoftSurface* surface;
};

struct SoftSurface final : IDirectDrawSurface7 {
    SoftSurface(SoftDirectDraw* owner, int width, int height, DWORD caps, bool alpha, PixelMemory pixels);

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Blt(LPRECT lpDestRect, IDirectDrawSurface7* lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                LPDDBLTFX lpDDBltFx) override;
    HRESULT BltFast(DWORD dwX, DWORD dwY, IDirectDrawSurface7* lpDDSrcSurface, LPRECT lpSrcRect,
                    DWORD dwTrans) override;
    HRESULT Flip(IDirectDrawSurface7* lpDDSurfaceTargetOverride, DWORD dwFlags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS2 lpDDSCaps, IDirectDrawSurface7** lplpDDAttachedSurface) override;
    HRESULT GetDC(HDC* lphDC) override;
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) override;
    HRESULT IsLost() override;
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC2 lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) override;
    HRESULT ReleaseDC(HDC hDC) override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT SetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) override;
    HRESULT SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) override;
    HRESULT Unlock(LPRECT lpRect) override;

    SoftDirectDraw* owner;
    ULONG refs = 1;
    int width;
    int height;
    int pitch;  // bytes from one row to the next
    DWORD caps;
    bool alpha;  // the explicit format with an alpha channel
    PixelMemory pixels;
    // A flip chain: its front surface knows the back buffer, and the back
    // buffer its front. Both are null for any other surface.
    SoftSurface* back = nullptr;
    SoftSurface* front = nullptr;
    bool lost = false;
    bool locked = false;
    HDC dc = nullptr;  // the device context lent out, if any
    bool keyed = false;
    DDCOLORKEY sourceKey = {};
    SoftGammaControl gamma{this};
    // New memory is all zero.
    SoftDamage damage;
    SoftClipper* clipper = nullptr;  // held, where one is set
};

struct SoftDirectDraw final : IDirectDraw7 {
    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) override;
    HRESULT CreateSurface(LPDDSURFACEDESC2 lpDDSurfaceDesc2, LPDIRECTDRAWSURFACE7* lplpDDSurface,
                          IUnknown* pUnkOuter) override;
    HRESULT GetMonitorFrequency(LPDWORD lpdwFrequency) override;
    HRESULT GetScanLine(LPDWORD lpdwScanLine) override;
    HRESULT RestoreAllSurfaces() override;
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
    HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate, DWORD dwFlags) override;
    HRESULT WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) override;

    ULONG refs = 1;
    DWORD level = 0;  // 0 until a cooperative level is set
};

struct DirectDrawState {
    std::vector<SoftDirectDraw*> objects;
    std::vector<SoftSurface*> surfaces;  // of every object, back buffers included
    std::vector<SoftClipper*> clippers;
    // The object that holds the display exclusively, and the mode it set
    // (0 x 0 while none is set).
    SoftDirectDraw* exclusive = nullptr;
    int modeWidth = 0;
    int modeHeight = 0;
    // False from a focus loss until the focus comes back: nothing can be
    // restored meanwhile.
    bool focus = true;
    // What the display shows, as a front surface's damage describes its
    // picture; unknown until a frame is presented in the mode set.
    bool shownKnown = false;
    SoftDamage shown;
    // Off in tests only: fills and presents then cover everything.
    bool tracking = true;
};

// Objects the runtime never releases stay reachable from the record, which
// therefore lives until the process ends.
SoftLasting<DirectDrawState> DdrawRecord;
DirectDrawState& Ddraw = DdrawRecord.record;

// ---- helpers --------------------------------------------------------------

int PitchFor(int width) { return (width * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment; }

size_t PixelCount(const SoftSurface& surface) { return size_t(surface.pitch / 4) * size_t(surface.height); }

uint32_t* Row(const SoftSurface& surface, LONG y) { return surface.pixels.get() + ptrdiff_t{y} * (surface.pitch / 4); }

RECT Whole(const SoftSurface& surface) { return {0, 0, surface.width, surface.height}; }

// A rectangle that is not empty and lies wholly on the surface.
bool Inside(const RECT& area, const SoftSurface& surface) {
    return area.left >= 0 && area.top >= 0 && area.left < area.right && area.top < area.bottom &&
           area.right <= surface.width && area.bottom <= surface.height;
}

SoftSurface* LiveSurface(IDirectDrawSurface7* surface) {
    auto found = std::find_if(Ddraw.surfaces.begin(), Ddraw.surfaces.end(),
                              [surface](SoftSurface* live) { return live == surface; });
    return found == Ddraw.surfaces.end() ? nullptr : *found;
}

// Whether a surface can be drawn on now: not lost, not locked and not lending
// its device context.
HRESULT Availability(const SoftSurface& surface) {
    if (surface.lost) return DDERR_SURFACELOST;
    if (surface.locked || surface.dc) return DDERR_SURFACEBUSY;
    return DD_OK;
}

// ---- making and destroying surfaces ---------------------------------------

SoftSurface::SoftSurface(SoftDirectDraw* owner, int width, int height, DWORD caps, bool alpha, PixelMemory pixels)
    : owner(owner),
      width(width),
      height(height),
      pitch(PitchFor(width)),
      caps(caps),
      alpha(alpha),
      pixels(std::move(pixels)) {}

SoftSurface* NewSurface(SoftDirectDraw* owner, int width, int height, DWORD caps, bool alpha) {
    size_t count = size_t(PitchFor(width) / 4) * size_t(height);
    PixelMemory pixels(static_cast<uint32_t*>(std::calloc(count, sizeof(uint32_t))));
    if (!pixels) return nullptr;
    SoftAdviseHugePages(pixels.get(), count * sizeof(uint32_t));
    auto* surface = new (std::nothrow) SoftSurface(owner, width, height, caps, alpha, std::move(pixels));
    if (surface) Ddraw.surfaces.push_back(surface);
    return surface;
}

// Destroying the front of a flip chain destroys its back buffer too.
void DestroySurface(SoftSurface* surface) {
    if (surface->back) DestroySurface(surface->back);
    if (surface->dc) DeleteDC(surface->dc);
    if (surface->clipper) surface->clipper->Release();
    std::erase(Ddraw.surfaces, surface);
    delete surface;
}

void DestroySurfacesOf(const SoftDirectDraw* owner) {
    for (;;) {
        // Back buffers go with their fronts.
        auto found = std::find_if(Ddraw.surfaces.begin(), Ddraw.surfaces.end(),
                                  [owner](SoftSurface* surface) { return surface->owner == owner && !surface->front; });
        if (found == Ddraw.surfaces.end()) return;
        DestroySurface(*found);
    }
}

bool HasPrimary(const SoftDirectDraw* owner) {
    return std::any_of(Ddraw.surfaces.begin(), Ddraw.surfaces.end(), [owner](SoftSurface* surface) {
        return surface->owner == owner && (surface->caps & DDSCAPS_PRIMARYSURFACE);
    });
}

// The primary surface of the exclusive display and its one back buffer, both
// of the display mode's size.
HRESULT CreateFlipChain(SoftDirectDraw* owner, const DDSURFACEDESC2& description, SoftSurface** created) {
    if (Ddraw.exclusive != owner) return DDERR_NOEXCLUSIVEMODE;
    if (Ddraw.modeWidth == 0) return DDERR_INVALIDMODE;
    DWORD caps = description.ddsCaps.dwCaps;
    if ((caps & ~DDSCAPS_3DDEVICE) != kPrimaryChainCaps) return DDERR_INVALIDCAPS;
    if (description.dwFlags != (DDSD_CAPS | DDSD_BACKBUFFERCOUNT) || description.dwBackBufferCount == 0) {
        return DDERR_INVALIDPARAMS;
    }
    // This display flips between two buffers, never more.
    if (description.dwBackBufferCount != 1) return DDERR_UNSUPPORTED;
    if (HasPrimary(owner)) return DDERR_PRIMARYSURFACEALREADYEXISTS;

    DWORD frontCaps = caps | DDSCAPS_FRONTBUFFER | DDSCAPS_VIDEOMEMORY;
    DWORD backCaps = (caps & ~DDSCAPS_PRIMARYSURFACE) | DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY;
    SoftSurface* front = NewSurface(owner, Ddraw.modeWidth, Ddraw.modeHeight, frontCaps, false);
    if (!front) return DDERR_OUTOFMEMORY;
    SoftSurface* back = NewSurface(owner, Ddraw.modeWidth, Ddraw.modeHeight, backCaps, false);
    if (!back) {
        DestroySurface(front);
        return DDERR_OUTOFMEMORY;
    }
    front->back = back;
    back->front = front;
    // The chain holds its back buffer; the caller's references to it come
    // from GetAttachedSurface.
    back->refs = 0;
    *created = front;
    return DD_OK;
}

// The primary surface alone, without a back buffer, as a program in a window
// has it: the desktop, or the exclusive display's mode. What is copied onto
// it shows in the window of its clipper, if any.
HRESULT CreatePrimary(SoftDirectDraw* owner, const DDSURFACEDESC2& description, SoftSurface** created) {
    if ((description.ddsCaps.dwCaps & ~DDSCAPS_3DDEVICE) != DDSCAPS_PRIMARYSURFACE) return DDERR_INVALIDCAPS;
    if (description.dwFlags != DDSD_CAPS) return DDERR_INVALIDPARAMS;
    if (HasPrimary(owner)) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    const HostDesktopMode desktop = HostPrimaryDesktop();
    const bool mode = Ddraw.exclusive == owner && Ddraw.modeWidth != 0;
    const int width = mode ? Ddraw.modeWidth : desktop.width;
    const int height = mode ? Ddraw.modeHeight : desktop.height;
    if (width <= 0 || height <= 0) return DDERR_INVALIDMODE;
    DWORD caps = description.ddsCaps.dwCaps | DDSCAPS_FRONTBUFFER | DDSCAPS_VIDEOMEMORY;
    *created = NewSurface(owner, width, height, caps, false);
    return *created ? DD_OK : DDERR_OUTOFMEMORY;
}

// The one explicit format offered: 32-bit RGB with an alpha channel.
HRESULT CheckExplicitFormat(const DDPIXELFORMAT& format) {
    if (format.dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
    bool alphaRgb = format.dwFlags == (DDPF_RGB | DDPF_ALPHAPIXELS) && format.dwRGBBitCount == 32 &&
                    format.dwRBitMask == 0x00FF0000 && format.dwGBitMask == 0x0000FF00 &&
                    format.dwBBitMask == 0x000000FF && format.dwRGBAlphaBitMask == 0xFF000000;
    return alphaRgb ? DD_OK : DDERR_INVALIDPIXELFORMAT;
}

// Off-screen plain surfaces and textures, in the display's pixel format
// unless the alpha format is asked for.
HRESULT CreatePlainSurface(SoftDirectDraw* owner, const DDSURFACEDESC2& description, SoftSurface** created) {
    DWORD flags = description.dwFlags;
    DWORD caps = (flags & DDSD_CAPS) ? description.ddsCaps.dwCaps : 0;
    // Without a kind, a surface is an off-screen plain one, as in DirectDraw.
    if (!(caps & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE))) caps |= DDSCAPS_OFFSCREENPLAIN;
    bool bothKinds = (caps & DDSCAPS_OFFSCREENPLAIN) && (caps & DDSCAPS_TEXTURE);
    if ((caps & ~kPlainCaps) || bothKinds || (caps & kMemoryCaps) == kMemoryCaps) return DDERR_INVALIDCAPS;
    if ((flags & ~kPlainDescription) || !(flags & DDSD_WIDTH) || !(flags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    DWORD width = description.dwWidth;
    DWORD height = description.dwHeight;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return DDERR_INVALIDPARAMS;
    bool alpha = flags & DDSD_PIXELFORMAT;
    if (alpha) {
        if (HRESULT format = CheckExplicitFormat(description.ddpfPixelFormat); format != DD_OK) return format;
    }
    // Where the caller leaves the memory open, a display driver would choose
    // video memory.
    if (!(caps & kMemoryCaps)) caps |= DDSCAPS_VIDEOMEMORY;
    SoftSurface* surface = NewSurface(owner, int(width), int(height), caps, alpha);
    if (!surface) return DDERR_OUTOFMEMORY;
    *created = surface;
    return DD_OK;
}

// ---- the display and lost surfaces ----------------------------------------

// A lost surface keeps its memory, which a lock or a device context may still
// point at, but not its picture.
void Lose(SoftSurface* surface) {
    surface->lost = true;
    SoftFillPixels(surface->pixels.get(), PixelCount(*surface), kSoftLostSurfacePixel);
    surface->damage.Clear(kSoftLostSurfacePixel);
}

void LoseEverySurface() {
    for (SoftSurface* surface : Ddraw.surfaces) Lose(surface);
}

// The display goes back to the desktop, and with its mode every surface's
// picture.
void LeaveExclusiveMode() {
    if (Ddraw.modeWidth != 0) {
        HostDisplayClose();
        LoseEverySurface();
    }
    Ddraw.exclusive = nullptr;
    Ddraw.modeWidth = 0;
    Ddraw.modeHeight = 0;
    Ddraw.shownKnown = false;
}

// Gives a lost surface its memory back; its pixels stay what the loss left.
// A flip chain is restored whole, and only into the mode it was made for.
HRESULT RestoreSurface(SoftSurface* surface) {
    if (!surface->lost) return DD_OK;
    if (surface->back) {
        if (Ddraw.exclusive != surface->owner) return DDERR_NOEXCLUSIVEMODE;
        if (surface->width != Ddraw.modeWidth || surface->height != Ddraw.modeHeight) return DDERR_WRONGMODE;
        surface->back->lost = false;
    }
    surface->lost = false;
    return DD_OK;
}

// ---- pixels ---------------------------------------------------------------

void FillPixels(const SoftSurface& surface, const RECT& area, uint32_t pixel) {
    // Whole rows without padding between them are one run of memory.
    if (area.left == 0 && area.right == surface.width && surface.pitch == surface.width * 4) {
        SoftFillPixels(Row(surface, area.top), size_t(Row(surface, area.bottom) - Row(surface, area.top)), pixel);
        return;
    }
    for (LONG y = area.top; y < area.bottom; ++y) {
        SoftFillPixels(Row(surface, y) + area.left, size_t(area.right - area.left), pixel);
    }
}

// Copies `from` of `source` to (x, y) of `target`. Source and target may be
// one surface with overlapping rectangles.
void CopyPixels(const SoftSurface& target, LONG x, LONG y, const SoftSurface& source, const RECT& from) {
    size_t bytes = size_t(from.right - from.left) * 4;
    LONG rows = from.bottom - from.top;
    // Copying downwards within one surface starts at the bottom row, so that
    // no row is overwritten before it is read.
    bool bottomUp = &target == &source && y > from.top;
    for (LONG i = 0; i < rows; ++i) {
        LONG row = bottomUp ? rows - 1 - i : i;
        std::memmove(Row(target, y + row) + x, Row(source, from.top + row) + from.left, bytes);
    }
}

RECT Intersection(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const RECT& area) { return area.left >= area.right || area.top >= area.bottom; }

bool Covers(const RECT& area, const SoftSurface& surface) {
    return area.left == 0 && area.top == 0 && area.right == surface.width && area.bottom == surface.height;
}

// Where the surface already holds the fill's colour outside its damage, only
// the damage is rewritten.
HRESULT ColourFill(SoftSurface& target, const RECT* area, const DDBLTFX* effects) {
    if (!effects || effects->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    if (HRESULT available = Availability(target); available != DD_OK) return available;
    RECT filled = area ? *area : Whole(target);
    if (!Inside(filled, target)) return DDERR_INVALIDRECT;
    const uint32_t pixel = effects->dwFillColor;
    SoftDamage& damage = target.damage;
    const bool sameColour = pixel == damage.colour;
    RECT rewritten = sameColour && Ddraw.tracking ? Intersection(filled, damage.area) : filled;
    if (!IsEmpty(rewritten)) FillPixels(target, rewritten, pixel);
    if (Covers(filled, target)) {
        damage.Clear(pixel);
    } else if (!sameColour) {
        damage.Add(filled);
    }
    return DD_OK;
}

// A copy between rectangles of one size: this display does not stretch.
HRESULT BltCopy(SoftSurface& target, const RECT* to, IDirectDrawSurface7* sourceInterface, const RECT* from) {
    SoftSurface* source = LiveSurface(sourceInterface);
    if (!source) return DDERR_INVALIDPARAMS;
    if (HRESULT available = Availability(target); available != DD_OK) return available;
    if (HRESULT available = Availability(*source); available != DD_OK) return available;
    RECT targetArea = to ? *to : Whole(target);
    RECT sourceArea = from ? *from : Whole(*source);
    if (!Inside(targetArea, target) || !Inside(sourceArea, *source)) return DDERR_INVALIDRECT;
    bool sameSize = targetArea.right - targetArea.left == sourceArea.right - sourceArea.left &&
                    targetArea.bottom - targetArea.top == sourceArea.bottom - sourceArea.top;
    if (!sameSize) return DDERR_UNSUPPORTED;
    CopyPixels(target, targetArea.left, targetArea.top, *source, sourceArea);
    target.damage.Add(targetArea);
    return DD_OK;
}

// A copy onto a primary surface whose clipper's window is another program's
// (or in one) shows in that window, from its top-left corner: the window's
// picture is not the primary surface's. Elsewhere it is a copy as any other.
HRESULT BltOntoPrimary(SoftSurface& primary, const RECT* to, IDirectDrawSurface7* sourceInterface, const RECT* from) {
    HWND foreign = primary.clipper ? SoftForeignWindowOf(primary.clipper->window) : nullptr;
    if (!foreign) return BltCopy(primary, to, sourceInterface, from);
    SoftSurface* source = LiveSurface(sourceInterface);
    if (!source) return DDERR_INVALIDPARAMS;
    if (HRESULT available = Availability(*source); available != DD_OK) return available;
    RECT sourceArea = from ? *from : Whole(*source);
    RECT targetArea = to ? *to : sourceArea;
    if (!Inside(sourceArea, *source) || IsEmpty(targetArea)) return DDERR_INVALIDRECT;
    if (targetArea.right - targetArea.left != sourceArea.right - sourceArea.left ||
        targetArea.bottom - targetArea.top != sourceArea.bottom - sourceArea.top) {
        return DDERR_UNSUPPORTED;
    }
    // The host shows nothing in a window that has gone.
    HostWindowPresent(reinterpret_cast<const uint8_t*>(Row(*source, sourceArea.top) + sourceArea.left),
                      sourceArea.right - sourceArea.left, sourceArea.bottom - sourceArea.top, source->pitch);
    return DD_OK;
}

// Where the picture on show and the front surface's can differ: within the
// two damages, if both are one colour around them; anywhere otherwise.
RECT ChangeOnShow(const SoftSurface& front) {
    const SoftDamage& now = front.damage;
    const SoftDamage& shown = Ddraw.shown;
    if (!Ddraw.tracking || !Ddraw.shownKnown || shown.colour != now.colour) return Whole(front);
    SoftDamage both = now;
    both.Add(shown.area);
    if (both.Empty()) return {0, 0, 0, 0};
    return Intersection(both.area, Whole(front));
}

DDPIXELFORMAT PixelFormatOf(const SoftSurface& surface) {
    DDPIXELFORMAT format = {};
    format.dwSize = sizeof(format);
    format.dwFlags = DDPF_RGB | (surface.alpha ? DDPF_ALPHAPIXELS : 0);
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0x00FF0000;
    format.dwGBitMask = 0x0000FF00;
    format.dwBBitMask = 0x000000FF;
    format.dwRGBAlphaBitMask = surface.alpha ? 0xFF000000 : 0;
    return format;
}

// What Lock tells about a surface; the caller's dwSize stays.
void Describe(const SoftSurface& surface, DDSURFACEDESC2* description) {
    DWORD size = description->dwSize;
    std::memset(description, 0, sizeof(*description));
    description->dwSize = size;
    description->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    description->dwWidth = DWORD(surface.width);
    description->dwHeight = DWORD(surface.height);
    description->lPitch = surface.pitch;
    description->lpSurface = surface.pixels.get();
    description->ddpfPixelFormat = PixelFormatOf(surface);
    description->ddsCaps.dwCaps = surface.caps;
    if (surface.keyed) {
        description->dwFlags |= DDSD_CKSRCBLT;
        description->ddckCKSrcBlt = surface.sourceKey;
    }
}

}  // namespace

// ---- IDirectDraw7 ---------------------------------------------------------

HRESULT WINAPI DirectDrawCreateEx(GUID* lpGUID, LPVOID* lplpDD, REFIID iid, IUnknown* pUnkOuter) {
    if (lplpDD) *lplpDD = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::DirectDrawCreateEx, &failed)) return failed;
    if (!lplpDD) return DDERR_INVALIDPARAMS;
    // Only the default display device is offered.
    if (lpGUID) return DDERR_INVALIDDIRECTDRAWGUID;
    if (!SoftSameGuid(iid, kIidDirectDraw7)) return DDERR_INVALIDPARAMS;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) SoftDirectDraw;
    if (!object) return DDERR_OUTOFMEMORY;
    Ddraw.objects.push_back(object);
    *lplpDD = static_cast<IDirectDraw7*>(object);
    return DD_OK;
}

HRESULT SoftDirectDraw::QueryInterface(REFIID riid, void** ppvObject) {
    return SoftQueryInterface<IDirectDraw7>(this, SoftOp::IDirectDraw7_QueryInterface, kIidDirectDraw7, riid,
                                            ppvObject);
}

ULONG SoftDirectDraw::AddRef() { return ++refs; }

// The last reference takes with it every surface still made from the object,
// and the exclusive display if the object holds it.
ULONG SoftDirectDraw::Release() {
    if (--refs > 0) return refs;
    DestroySurfacesOf(this);
    if (Ddraw.exclusive == this) LeaveExclusiveMode();
    std::erase(Ddraw.objects, this);
    delete this;
    return 0;
}

HRESULT SoftDirectDraw::SetCooperativeLevel(HWND hWnd, DWORD dwFlags) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_SetCooperativeLevel, &failed)) return failed;
    if (dwFlags == DDSCL_NORMAL) {
        if (Ddraw.exclusive == this) LeaveExclusiveMode();
        level = dwFlags;
        return DD_OK;
    }
    if (dwFlags != kExclusiveLevel || !hWnd) return DDERR_INVALIDPARAMS;
    if (Ddraw.exclusive && Ddraw.exclusive != this) return DDERR_EXCLUSIVEMODEALREADYSET;
    Ddraw.exclusive = this;
    level = dwFlags;
    return DD_OK;
}

HRESULT SoftDirectDraw::SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate, DWORD dwFlags) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_SetDisplayMode, &failed)) return failed;
    if (Ddraw.exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    if (dwFlags != 0) return DDERR_INVALIDPARAMS;
    if (dwBPP != 32 || dwWidth > kMaxSide || dwHeight > kMaxSide) return DDERR_UNSUPPORTEDMODE;
    // 0 asks for the display's own rate.
    if (dwRefreshRate != 0 && dwRefreshRate != DWORD(HostDisplayRefreshRate())) return DDERR_UNSUPPORTEDMODE;
    if (!HostDisplayOpen(int(dwWidth), int(dwHeight), 32)) {
        // The host's words for why, where it has some, as the last error.
        if (*HostNoDisplayReason()) SetLastError(SOFT_ERROR_NO_DISPLAY);
        return DDERR_UNSUPPORTEDMODE;
    }
    // A mode change takes the picture of every surface made before it, and
    // the display's.
    LoseEverySurface();
    Ddraw.modeWidth = int(dwWidth);
    Ddraw.modeHeight = int(dwHeight);
    Ddraw.shownKnown = false;
    return DD_OK;
}

HRESULT SoftDirectDraw::CreateSurface(LPDDSURFACEDESC2 lpDDSurfaceDesc2, LPDIRECTDRAWSURFACE7* lplpDDSurface,
                                      IUnknown* pUnkOuter) {
    if (lplpDDSurface) *lplpDDSurface = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_CreateSurface, &failed)) return failed;
    if (!lplpDDSurface || !lpDDSurfaceDesc2 || lpDDSurfaceDesc2->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if (level == 0) return DDERR_NOCOOPERATIVELEVELSET;
    const DDSURFACEDESC2& description = *lpDDSurfaceDesc2;
    const DWORD caps = (description.dwFlags & DDSD_CAPS) ? description.ddsCaps.dwCaps : 0;
    SoftSurface* created = nullptr;
    HRESULT result = !(caps & DDSCAPS_PRIMARYSURFACE) ? CreatePlainSurface(this, description, &created)
                     : (caps & kFlipCaps)             ? CreateFlipChain(this, description, &created)
                                                      : CreatePrimary(this, description, &created);
    if (result == DD_OK) *lplpDDSurface = created;
    return result;
}

HRESULT SoftDirectDraw::CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) {
    if (lplpDDClipper) *lplpDDClipper = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_CreateClipper, &failed)) return failed;
    if (!lplpDDClipper || dwFlags != 0) return DDERR_INVALIDPARAMS;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* clipper = new (std::nothrow) SoftClipper;
    if (!clipper) return DDERR_OUTOFMEMORY;
    Ddraw.clippers.push_back(clipper);
    *lplpDDClipper = clipper;
    return DD_OK;
}

// Only the wait for the blank's beginning: DDWAITVB_BLOCKBEGIN.
HRESULT SoftDirectDraw::WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_WaitForVerticalBlank, &failed)) return failed;
    if (dwFlags != DDWAITVB_BLOCKBEGIN || hEvent) return DDERR_UNSUPPORTED;
    HostWaitForVerticalBlank();
    return DD_OK;
}

HRESULT SoftDirectDraw::GetMonitorFrequency(LPDWORD lpdwFrequency) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_GetMonitorFrequency, &failed)) return failed;
    if (!lpdwFrequency) return DDERR_INVALIDPARAMS;
    *lpdwFrequency = DWORD(HostDisplayRefreshRate());
    return DD_OK;
}

HRESULT SoftDirectDraw::GetScanLine(LPDWORD lpdwScanLine) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_GetScanLine, &failed)) return failed;
    if (!lpdwScanLine) return DDERR_INVALIDPARAMS;
    if (Ddraw.exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    int line = HostDisplayScanLine();
    if (line < 0) return DDERR_VERTICALBLANKINPROGRESS;
    *lpdwScanLine = DWORD(line);
    return DD_OK;
}

// Restores every surface of the object; the first refusal is the answer, but
// the other surfaces are restored all the same.
HRESULT SoftDirectDraw::RestoreAllSurfaces() {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDraw7_RestoreAllSurfaces, &failed)) return failed;
    if (!Ddraw.focus) return DDERR_WRONGMODE;
    HRESULT result = DD_OK;
    for (SoftSurface* surface : Ddraw.surfaces) {
        if (surface->owner != this || surface->front) continue;
        HRESULT restored = RestoreSurface(surface);
        if (result == DD_OK) result = restored;
    }
    return result;
}

// ---- IDirectDrawSurface7 --------------------------------------------------

HRESULT SoftSurface::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject) *ppvObject = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_QueryInterface, &failed)) return failed;
    if (!ppvObject) return E_POINTER;
    if (SoftSameGuid(riid, kSoftIidUnknown) || SoftSameGuid(riid, kIidDirectDrawSurface7)) {
        AddRef();
        *ppvObject = static_cast<IDirectDrawSurface7*>(this);
        return S_OK;
    }
    // The display's gamma belongs to its primary surface alone.
    if (SoftSameGuid(riid, kIidDirectDrawGammaControl) && (caps & DDSCAPS_PRIMARYSURFACE)) {
        AddRef();
        *ppvObject = static_cast<IDirectDrawGammaControl*>(&gamma);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG SoftSurface::AddRef() { return ++refs; }

// A back buffer released by all its callers lives on in its chain; the front
// surface's last release destroys the chain.
ULONG SoftSurface::Release() {
    if (refs == 0) return 0;
    if (--refs > 0 || front) return refs;
    DestroySurface(this);
    return 0;
}

HRESULT SoftSurface::GetAttachedSurface(LPDDSCAPS2 lpDDSCaps, IDirectDrawSurface7** lplpDDAttachedSurface) {
    if (lplpDDAttachedSurface) *lplpDDAttachedSurface = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_GetAttachedSurface, &failed)) return failed;
    if (!lpDDSCaps || !lplpDDAttachedSurface) return DDERR_INVALIDPARAMS;
    // The two surfaces of a flip chain are attached to each other.
    SoftSurface* attached = back ? back : front;
    if (!attached || (attached->caps & lpDDSCaps->dwCaps) != lpDDSCaps->dwCaps) return DDERR_NOTFOUND;
    attached->AddRef();
    *lplpDDAttachedSurface = attached;
    return DD_OK;
}

HRESULT SoftSurface::Flip(IDirectDrawSurface7* lpDDSurfaceTargetOverride, DWORD dwFlags) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_Flip, &failed)) return failed;
    if (!back) return DDERR_NOTFLIPPABLE;
    bool otherTarget = lpDDSurfaceTargetOverride && lpDDSurfaceTargetOverride != back;
    if (otherTarget || (dwFlags & ~(DDFLIP_WAIT | DDFLIP_NOVSYNC))) return DDERR_INVALIDPARAMS;
    HRESULT available = Availability(*this);
    if (available == DD_OK) available = Availability(*back);
    if (available != DD_OK) return available;
    // The buffers trade memory, so the back buffer now holds the picture that
    // was on show.
    std::swap(pixels, back->pixels);
    std::swap(damage, back->damage);
    bool atVerticalBlank = (dwFlags & DDFLIP_WAIT) && !(dwFlags & DDFLIP_NOVSYNC);
    RECT changed = ChangeOnShow(*this);
    HostDisplayPresent(reinterpret_cast<const uint8_t*>(pixels.get()), width, height, pitch,
                       {changed.left, changed.top, changed.right, changed.bottom}, atVerticalBlank);
    Ddraw.shown = damage;
    Ddraw.shownKnown = true;
    return DD_OK;
}

HRESULT SoftSurface::Blt(LPRECT lpDestRect, IDirectDrawSurface7* lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                         LPDDBLTFX lpDDBltFx) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_Blt, &failed)) return failed;
    if (dwFlags & ~(DDBLT_COLORFILL | DDBLT_WAIT)) return DDERR_INVALIDPARAMS;
    if (dwFlags & DDBLT_COLORFILL) return ColourFill(*this, lpDestRect, lpDDBltFx);
    if (caps & DDSCAPS_PRIMARYSURFACE) return BltOntoPrimary(*this, lpDestRect, lpDDSrcSurface, lpSrcRect);
    return BltCopy(*this, lpDestRect, lpDDSrcSurface, lpSrcRect);
}

HRESULT SoftSurface::BltFast(DWORD dwX, DWORD dwY, IDirectDrawSurface7* lpDDSrcSurface, LPRECT lpSrcRect,
                             DWORD dwTrans) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_BltFast, &failed)) return failed;
    // Copies without a colour key are all this display does.
    if (dwTrans & ~DDBLTFAST_WAIT) return DDERR_INVALIDPARAMS;
    SoftSurface* source = LiveSurface(lpDDSrcSurface);
    if (!source) return DDERR_INVALIDPARAMS;
    if (HRESULT available = Availability(*this); available != DD_OK) return available;
    if (HRESULT available = Availability(*source); available != DD_OK) return available;
    RECT from = lpSrcRect ? *lpSrcRect : Whole(*source);
    if (!Inside(from, *source) || dwX > kMaxSide || dwY > kMaxSide) return DDERR_INVALIDRECT;
    RECT to = {LONG(dwX), LONG(dwY), LONG(dwX) + (from.right - from.left), LONG(dwY) + (from.bottom - from.top)};
    if (!Inside(to, *this)) return DDERR_INVALIDRECT;
    CopyPixels(*this, to.left, to.top, *source, from);
    damage.Add(to);
    return DD_OK;
}

// A failed lock leaves no address behind in the caller's description, which
// may still hold the one of an earlier lock.
// What a lock lends may be written, unless the caller says it only reads.
HRESULT SoftSurface::Lock(LPRECT lpDestRect, LPDDSURFACEDESC2 lpDDSurfaceDesc, DWORD dwFlags, HANDLE) {
    bool described = lpDDSurfaceDesc && lpDDSurfaceDesc->dwSize == sizeof(DDSURFACEDESC2);
    if (described) lpDDSurfaceDesc->lpSurface = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_Lock, &failed)) return failed;
    if (!described) return DDERR_INVALIDPARAMS;
    RECT area = lpDestRect ? *lpDestRect : Whole(*this);
    if (!Inside(area, *this)) return DDERR_INVALIDRECT;
    if (HRESULT available = Availability(*this); available != DD_OK) return available;
    locked = true;
    if (!(dwFlags & DDLOCK_READONLY)) damage.Add(area);
    Describe(*this, lpDDSurfaceDesc);
    lpDDSurfaceDesc->lpSurface = Row(*this, area.top) + area.left;
    return DD_OK;
}

// A lost surface can still be unlocked, so that its caller can end the access.
HRESULT SoftSurface::Unlock(LPRECT) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_Unlock, &failed)) return failed;
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

HRESULT SoftSurface::GetDC(HDC* lphDC) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_GetDC, &failed)) return failed;
    if (!lphDC) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (dc) return DDERR_DCALREADYCREATED;
    if (locked) return DDERR_SURFACEBUSY;
    dc = SoftSurfaceDcCreate(pixels.get(), width, height, pitch, &damage);
    if (!dc) return DDERR_CANTCREATEDC;
    *lphDC = dc;
    return DD_OK;
}

HRESULT SoftSurface::ReleaseDC(HDC hDC) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_ReleaseDC, &failed)) return failed;
    if (!dc) return DDERR_NODC;
    if (hDC != dc) return DDERR_INVALIDPARAMS;
    DeleteDC(dc);
    dc = nullptr;
    return DD_OK;
}

HRESULT SoftSurface::IsLost() {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_IsLost, &failed)) return failed;
    return lost ? DDERR_SURFACELOST : DD_OK;
}

// A back buffer is restored with its front surface, never by itself.
HRESULT SoftSurface::Restore() {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_Restore, &failed)) return failed;
    if (!Ddraw.focus) return DDERR_WRONGMODE;
    if (lost && front) return DDERR_IMPLICITLYCREATED;
    return RestoreSurface(this);
}

// The key is kept for the copies that would use it; no copy offered here does.
HRESULT SoftSurface::SetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_SetColorKey, &failed)) return failed;
    if (dwFlags != DDCKEY_SRCBLT) return DDERR_INVALIDPARAMS;
    keyed = lpDDColorKey != nullptr;
    sourceKey = keyed ? *lpDDColorKey : DDCOLORKEY{};
    return DD_OK;
}

// Surfaces of 32 bits per pixel have no palette.
HRESULT SoftSurface::GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) {
    if (lplpDDPalette) *lplpDDPalette = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_GetPalette, &failed)) return failed;
    if (!lplpDDPalette) return DDERR_INVALIDPARAMS;
    return DDERR_NOPALETTEATTACHED;
}

// This layer makes no palettes, so any palette handed in is foreign; taking
// the palette away (null) leaves nothing to do.
HRESULT SoftSurface::SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_SetPalette, &failed)) return failed;
    return lpDDPalette ? DDERR_INVALIDOBJECT : DD_OK;
}

// A clipper on any surface is held; only a primary surface's has an effect.
HRESULT SoftSurface::SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawSurface7_SetClipper, &failed)) return failed;
    auto found = std::find(Ddraw.clippers.begin(), Ddraw.clippers.end(), lpDDClipper);
    if (lpDDClipper && found == Ddraw.clippers.end()) return DDERR_INVALIDOBJECT;
    SoftClipper* given = lpDDClipper ? *found : nullptr;
    if (given) given->AddRef();
    if (clipper) clipper->Release();
    clipper = given;
    return DD_OK;
}

// ---- IDirectDrawClipper ---------------------------------------------------

HRESULT SoftClipper::QueryInterface(REFIID riid, void** ppvObject) {
    return SoftQueryInterface<IDirectDrawClipper>(this, SoftOp::IDirectDrawClipper_QueryInterface,
                                                  kIidDirectDrawClipper, riid, ppvObject);
}

ULONG SoftClipper::AddRef() { return ++refs; }

ULONG SoftClipper::Release() { return SoftRelease(this, Ddraw.clippers); }

HRESULT SoftClipper::SetHWnd(DWORD dwFlags, HWND hWnd) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawClipper_SetHWnd, &failed)) return failed;
    if (dwFlags != 0 || (hWnd && !SoftWindowExists(hWnd))) return DDERR_INVALIDPARAMS;
    window = hWnd;
    return DD_OK;
}

// ---- IDirectDrawGammaControl ----------------------------------------------

HRESULT SoftGammaControl::QueryInterface(REFIID riid, void** ppvObject) {
    return surface->QueryInterface(riid, ppvObject);
}

ULONG SoftGammaControl::AddRef() { return surface->AddRef(); }

ULONG SoftGammaControl::Release() { return surface->Release(); }

static_assert(sizeof(DDGAMMARAMP) == 768 * sizeof(uint16_t), "the host's ramp is 3 x 256 entries");

HRESULT SoftGammaControl::GetGammaRamp(DWORD dwFlags, LPDDGAMMARAMP lpRampData) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawGammaControl_GetGammaRamp, &failed)) return failed;
    if (dwFlags != 0 || !lpRampData) return DDERR_INVALIDPARAMS;
    uint16_t ramp[768];
    if (!HostGammaRead(ramp)) return DDERR_GENERIC;
    std::memcpy(lpRampData, ramp, sizeof(ramp));
    return DD_OK;
}

HRESULT SoftGammaControl::SetGammaRamp(DWORD dwFlags, LPDDGAMMARAMP lpRampData) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectDrawGammaControl_SetGammaRamp, &failed)) return failed;
    if (dwFlags != 0 || !lpRampData) return DDERR_INVALIDPARAMS;
    uint16_t ramp[768];
    std::memcpy(ramp, lpRampData, sizeof(ramp));
    return HostGammaWrite(ramp) ? DD_OK : DDERR_GENERIC;
}

// ---- the layer's other libraries and tests --------------------------------

void SoftDisplayFocus(bool active) {
    Ddraw.focus = active;
    // Only an exclusive display goes with the focus. The host keeps it open,
    // ready for the mode to be set again.
    if (!active && Ddraw.exclusive) LoseEverySurface();
}

void SoftDamageTracking(bool on) { Ddraw.tracking = on; }

SoftDirectDrawView SoftDirectDrawViewNow() {
    return {static_cast<int>(Ddraw.objects.size()), static_cast<int>(Ddraw.surfaces.size()),
            static_cast<int>(Ddraw.clippers.size()), Ddraw.exclusive ? kExclusiveLevel : DDSCL_NORMAL};
}
