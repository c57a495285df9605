// The drawing cases that compare the software GDI with Windows' GDI.
//
// One list of cases, built for both platforms: on Windows a probe program
// draws every case with the system's GDI (under Wine here) and writes the
// pixels to a reference file; on Linux a test draws the same cases with the
// software GDI and compares them with that file, pixel for pixel.
//
// The reference file is text. For each case, a line with the case's name and
// the result of its drawing call, a line with its palette (the distinct pixel
// values, background first), then one line per row of its surface: runs of a
// palette entry, "<count><letter>", letter a for the first entry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"

enum class GdiOperation { Ellipse, Rectangle, SetPixelV, FillRect };

// Where a case draws: a 32-bit memory bitmap's device context, or the device
// context of an off-screen DirectDraw surface in the display's 32-bit format.
enum class GdiTarget { Bitmap, DirectDraw };

// How the pen and brush are chosen.
enum class GdiColours { PenAndBrush, SameColour, Black, NullBrush };

struct GdiCase {
    GdiOperation operation;
    GdiTarget target;
    int rop2;  // R2_COPYPEN or R2_NOT
    GdiColours colours;
    int left, top, right, bottom;  // the box; a pixel's x and y are left and top
    int width, height;             // of the surface
};

// Every pixel starts as this value.
constexpr uint32_t kGdiBackground = 0x00123456;

std::vector<GdiCase> GdiReferenceCases();

// The case in words, as the reference file's case line holds it.
std::string GdiCaseName(const GdiCase& c);

// Selects the case's pen, brush and raster operation into `dc`, draws, and
// leaves `dc` as it found it. Gives the drawing call's result.
int GdiCaseDraw(HDC dc, const GdiCase& c);

// What a case drew: the result of its call and the surface's pixels, row by
// row, top first.
struct GdiPicture {
    int result = 0;
    std::vector<uint32_t> pixels;
};

// A DirectDraw object from "DDRAW.DLL" at the normal cooperative level, on
// whose surfaces the DirectDraw cases draw.
struct GdiDirectDraw {
    HMODULE library = nullptr;
    IDirectDraw7* object = nullptr;
};

// Both say why on stderr when they fail.
bool GdiDirectDrawOpen(GdiDirectDraw* directDraw);
void GdiDirectDrawClose(GdiDirectDraw* directDraw);

// Draws a DirectDraw case on a surface of its own.
bool GdiCaseRenderDirectDraw(const GdiDirectDraw& directDraw, const GdiCase& c, GdiPicture* picture);

void GdiPictureWrite(std::FILE* file, const GdiCase& c, const GdiPicture& picture);

// Reads the next case of a reference file: its name and its picture. False
// at the end of the file or on a malformed case (then `error` says which).
bool GdiPictureRead(std::FILE* file, std::string* name, GdiPicture* picture, int width, int height, std::string* error);

// The header line of a reference file.
constexpr char kGdiReferenceHeader[] = "gdi reference 1";
