// The software GDI's Win32: pens, brushes, stock objects, drawing modes,
// shapes and device contexts. win32_soft.h includes it.
#pragma once

#include "platform/soft/win32_types.h"

#define PS_SOLID 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define R2_NOT 6
#define R2_COPYPEN 13
#define TRANSPARENT 1
#define OPAQUE 2
#define TA_UPDATECP 1
#define BITSPIXEL 12
#define VREFRESH 116
#define CLR_INVALID 0xFFFFFFFF

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
HGDIOBJ WINAPI GetStockObject(int i);
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
BOOL WINAPI DeleteObject(HGDIOBJ ho);

int WINAPI SetROP2(HDC hdc, int rop2);
int WINAPI SetBkMode(HDC hdc, int mode);
COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
UINT WINAPI SetTextAlign(HDC hdc, UINT align);

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL WINAPI SetPixelV(HDC hdc, int x, int y, COLORREF color);
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR pszPort, const DEVMODEA* pdm);
BOOL WINAPI DeleteDC(HDC hdc);
int WINAPI GetDeviceCaps(HDC hdc, int index);
