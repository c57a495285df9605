#include "display/desktop.h"

#include <cstring>

#include "core/runtime.h"

DesktopListRecord DesktopList;

namespace {

struct DeviceRecords {
    DISPLAY_DEVICEA device;
    DEVMODEA mode;
};

void Prepare(DeviceRecords& records) {
    std::memset(&records, 0, sizeof(records));
    records.device.cb = sizeof(records.device);
    records.mode.dmSize = sizeof(records.mode);
    records.mode.dmDriverExtra = 0;
}

bool Attached(const DISPLAY_DEVICEA& device) { return (device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0; }

int32_t CountAttached(DeviceRecords& records) {
    int32_t count = 0;
    for (DWORD i = 0; DesktopList.enumerate(nullptr, i, &records.device, 0); ++i) count += Attached(records.device);
    return count;
}

void Fill(DesktopRecord& desktop, const DeviceRecords& records) {
    desktop.width = static_cast<int16_t>(records.mode.dmPelsWidth);
    desktop.height = static_cast<int16_t>(records.mode.dmPelsHeight);
    desktop.refresh = static_cast<int16_t>(records.mode.dmDisplayFrequency);
    desktop.depth = static_cast<int16_t>(records.mode.dmBitsPerPel);
    std::memcpy(desktop.deviceName, records.device.DeviceName, sizeof(desktop.deviceName));
    desktop.deviceName[sizeof(desktop.deviceName) - 1] = 0;
}

// The primary device fills slot 0, the others follow from slot 1. The devices
// may have changed since they were counted: a device beyond the array is
// left out rather than written past its end.
void FillAttached(DeviceRecords& records) {
    int32_t slot = 0;
    for (DWORD i = 0; DesktopList.enumerate(nullptr, i, &records.device, 0); ++i) {
        if (!Attached(records.device)) continue;
        if (!EnumDisplaySettingsA(records.device.DeviceName, ENUM_CURRENT_SETTINGS, &records.mode)) continue;
        int32_t target = (records.device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) ? 0 : ++slot;
        if (target < DesktopList.count) Fill(DesktopList.desktops[target], records);
    }
}

DesktopRecord* NewDesktops(int32_t count) {
    return static_cast<DesktopRecord*>(
        HeapAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, sizeof(DesktopRecord) * static_cast<size_t>(count)));
}

// Without the device enumeration, or with nothing attached: the one screen,
// described through a device context.
void DescribeTheScreen() {
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!display) return;
    DesktopList.desktops = NewDesktops(1);
    if (DesktopList.desktops) {
        DesktopList.count = 1;
        DesktopRecord& desktop = DesktopList.desktops[0];
        desktop.width = static_cast<int16_t>(GetSystemMetrics(SM_CXSCREEN));
        desktop.height = static_cast<int16_t>(GetSystemMetrics(SM_CYSCREEN));
        desktop.depth = static_cast<int16_t>(GetDeviceCaps(display, BITSPIXEL));
        int refresh = GetDeviceCaps(display, VREFRESH);
        // 0 and 1 both stand for the hardware's default.
        desktop.refresh = static_cast<int16_t>(refresh == 1 ? 0 : refresh);
    }
    DeleteDC(display);
}

bool InRange(int32_t index) { return index >= 0 && index < DesktopList.count && DesktopList.desktops; }

}  // namespace

int32_t DesktopScan() {
    SetLastError(ERROR_SUCCESS);
    if (DesktopList.desktops) HeapFree(Runtime.mainHeap, 0, DesktopList.desktops);
    if (!DesktopList.userLibrary) {
        DesktopList.userLibrary = LoadLibraryA("User32.DLL");
        if (DesktopList.userLibrary) {
            FARPROC entry = GetProcAddress(DesktopList.userLibrary, "EnumDisplayDevicesA");
            DesktopList.enumerate = reinterpret_cast<EnumDisplayDevicesRoutine>(reinterpret_cast<void (*)()>(entry));
        }
    }
    DesktopList.desktops = nullptr;
    DesktopList.count = 0;

    if (DesktopList.enumerate) {
        DeviceRecords records;
        Prepare(records);
        int32_t attached = CountAttached(records);
        if (attached > 0) {
            DesktopList.desktops = NewDesktops(attached);
            // Without the array there is nothing to fill, and nothing to describe.
            if (!DesktopList.desktops) {
                DesktopList.noneReason = GetLastError();
                return 0;
            }
            DesktopList.count = attached;
            FillAttached(records);
        }
    }
    if (DesktopList.count == 0) DescribeTheScreen();
    const bool sized = DesktopPixelWidth(0) > 0 && DesktopPixelHeight(0) > 0;
    DesktopList.noneReason = sized ? ERROR_SUCCESS : GetLastError();
    return DesktopList.count;
}

int32_t DesktopPixelWidth(int32_t index) { return InRange(index) ? DesktopList.desktops[index].width : 0; }

int32_t DesktopPixelHeight(int32_t index) { return InRange(index) ? DesktopList.desktops[index].height : 0; }

DWORD DesktopNoneReason() { return DesktopList.noneReason; }

void DesktopShutDown() {
    if (DesktopList.userLibrary) FreeLibrary(DesktopList.userLibrary);
}

void DesktopForget() {
    DesktopShutDown();
    DesktopList = {};
}
