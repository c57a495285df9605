// Types shared across the runtime's libraries.
#pragma once

#include <cstdint>

// A colour with red in bits 0-7, green in 8-15 and blue in 16-23: the layout
// of a Windows COLORREF, so it passes to GDI unchanged.
typedef uint32_t ColorValue;

// The pixel layout of the open display mode, 1 to 7; 0 before it is known.
typedef int32_t PixelFormatCode;
