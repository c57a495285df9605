// The desktops (display devices attached to the desktop) and their current
// modes; slot 0 is always the primary one.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct DesktopRecord {
    int16_t width;
    int16_t height;
    int16_t refresh;
    int16_t depth;
    char deviceName[32];
};

typedef BOOL(WINAPI* EnumDisplayDevicesRoutine)(LPCSTR device, DWORD number, PDISPLAY_DEVICEA record, DWORD flags);

struct DesktopListRecord {
    DesktopRecord* desktops;  // from the main heap; null before a scan
    int32_t count;
    HMODULE userLibrary;
    EnumDisplayDevicesRoutine enumerate;
    // The last error where the scan found no desktop with a size, else 0.
    DWORD noneReason;
};

extern DesktopListRecord DesktopList;

int32_t DesktopScan();
int32_t DesktopPixelWidth(int32_t index);
int32_t DesktopPixelHeight(int32_t index);
// Why the last scan found no desktop with a size (GetLastError's number), or 0.
DWORD DesktopNoneReason();
void DesktopShutDown();
// Shuts down and forgets the desktops found: the list as a new process has it.
void DesktopForget();
