// Every operation of the software layer that can be made to fail, in one
// list: the layer asks the host's fault injection by these (SoftFault), and
// tests and the fuzzer arm faults by them, so that a name can be neither
// misspelt nor forgotten. A fault is known to the host by the operation's
// name, as in the Windows headers ("IDirectDraw7::CreateSurface" for a COM
// method); one aimed at a target adds it ("LoadLibraryA DDRAW.DLL").
#pragma once

#include <cstddef>

// clang-format off
#define RAVLIN_SOFT_OPERATIONS(X) \
    X(BeginPaint, "BeginPaint") \
    X(ClipCursor, "ClipCursor") \
    X(CloseHandle, "CloseHandle") \
    X(CreateDCA, "CreateDCA") \
    X(CreateFileA, "CreateFileA") \
    X(CreatePen, "CreatePen") \
    X(CreateSolidBrush, "CreateSolidBrush") \
    X(CreateWindowExA, "CreateWindowExA") \
    X(DeleteFileA, "DeleteFileA") \
    X(DirectDrawCreateEx, "DirectDrawCreateEx") \
    X(DirectInputCreateEx, "DirectInputCreateEx") \
    X(Ellipse, "Ellipse") \
    X(EnumDisplayDevicesA, "EnumDisplayDevicesA") \
    X(EnumDisplaySettingsA, "EnumDisplaySettingsA") \
    X(FillRect, "FillRect") \
    X(GetClientRect, "GetClientRect") \
    X(GetDC, "GetDC") \
    X(GetPixel, "GetPixel") \
    X(GetProcAddress, "GetProcAddress") \
    X(HeapAlloc, "HeapAlloc") \
    X(HeapCreate, "HeapCreate") \
    X(HeapReAlloc, "HeapReAlloc") \
    X(IDirectDraw7_CreateClipper, "IDirectDraw7::CreateClipper") \
    X(IDirectDraw7_CreateSurface, "IDirectDraw7::CreateSurface") \
    X(IDirectDraw7_GetMonitorFrequency, "IDirectDraw7::GetMonitorFrequency") \
    X(IDirectDraw7_GetScanLine, "IDirectDraw7::GetScanLine") \
    X(IDirectDraw7_QueryInterface, "IDirectDraw7::QueryInterface") \
    X(IDirectDraw7_RestoreAllSurfaces, "IDirectDraw7::RestoreAllSurfaces") \
    X(IDirectDraw7_SetCooperativeLevel, "IDirectDraw7::SetCooperativeLevel") \
    X(IDirectDraw7_SetDisplayMode, "IDirectDraw7::SetDisplayMode") \
    X(IDirectDraw7_WaitForVerticalBlank, "IDirectDraw7::WaitForVerticalBlank") \
    X(IDirectDrawClipper_QueryInterface, "IDirectDrawClipper::QueryInterface") \
    X(IDirectDrawClipper_SetHWnd, "IDirectDrawClipper::SetHWnd") \
    X(IDirectDrawGammaControl_GetGammaRamp, "IDirectDrawGammaControl::GetGammaRamp") \
    X(IDirectDrawGammaControl_SetGammaRamp, "IDirectDrawGammaControl::SetGammaRamp") \
    X(IDirectDrawSurface7_Blt, "IDirectDrawSurface7::Blt") \
    X(IDirectDrawSurface7_BltFast, "IDirectDrawSurface7::BltFast") \
    X(IDirectDrawSurface7_Flip, "IDirectDrawSurface7::Flip") \
    X(IDirectDrawSurface7_GetAttachedSurface, "IDirectDrawSurface7::GetAttachedSurface") \
    X(IDirectDrawSurface7_GetDC, "IDirectDrawSurface7::GetDC") \
    X(IDirectDrawSurface7_GetPalette, "IDirectDrawSurface7::GetPalette") \
    X(IDirectDrawSurface7_IsLost, "IDirectDrawSurface7::IsLost") \
    X(IDirectDrawSurface7_Lock, "IDirectDrawSurface7::Lock") \
    X(IDirectDrawSurface7_QueryInterface, "IDirectDrawSurface7::QueryInterface") \
    X(IDirectDrawSurface7_ReleaseDC, "IDirectDrawSurface7::ReleaseDC") \
    X(IDirectDrawSurface7_Restore, "IDirectDrawSurface7::Restore") \
    X(IDirectDrawSurface7_SetClipper, "IDirectDrawSurface7::SetClipper") \
    X(IDirectDrawSurface7_SetColorKey, "IDirectDrawSurface7::SetColorKey") \
    X(IDirectDrawSurface7_SetPalette, "IDirectDrawSurface7::SetPalette") \
    X(IDirectDrawSurface7_Unlock, "IDirectDrawSurface7::Unlock") \
    X(IDirectInput7_CreateDeviceEx, "IDirectInput7::CreateDeviceEx") \
    X(IDirectInput7_QueryInterface, "IDirectInput7::QueryInterface") \
    X(IDirectInputDevice7_Acquire, "IDirectInputDevice7::Acquire") \
    X(IDirectInputDevice7_GetDeviceData, "IDirectInputDevice7::GetDeviceData") \
    X(IDirectInputDevice7_GetDeviceState, "IDirectInputDevice7::GetDeviceState") \
    X(IDirectInputDevice7_GetProperty, "IDirectInputDevice7::GetProperty") \
    X(IDirectInputDevice7_QueryInterface, "IDirectInputDevice7::QueryInterface") \
    X(IDirectInputDevice7_SetCooperativeLevel, "IDirectInputDevice7::SetCooperativeLevel") \
    X(IDirectInputDevice7_SetDataFormat, "IDirectInputDevice7::SetDataFormat") \
    X(IDirectInputDevice7_SetProperty, "IDirectInputDevice7::SetProperty") \
    X(IDirectInputDevice7_Unacquire, "IDirectInputDevice7::Unacquire") \
    X(LoadLibraryA, "LoadLibraryA") \
    X(MoveFileExA, "MoveFileExA") \
    X(MoveWindow, "MoveWindow") \
    X(QueryPerformanceCounter, "QueryPerformanceCounter") \
    X(QueryPerformanceFrequency, "QueryPerformanceFrequency") \
    X(Rectangle, "Rectangle") \
    X(RegisterClassExA, "RegisterClassExA") \
    X(SetPixelV, "SetPixelV") \
    X(SetWindowTextA, "SetWindowTextA") \
    X(SoftSurfaceDcCreate, "SoftSurfaceDcCreate") \
    X(WriteFile, "WriteFile") \
    X(timeBeginPeriod, "timeBeginPeriod") \
    X(timeEndPeriod, "timeEndPeriod")
// clang-format on

enum class SoftOp {
#define RAVLIN_SOFT_OPERATION_ID(id, name) id,
    RAVLIN_SOFT_OPERATIONS(RAVLIN_SOFT_OPERATION_ID)
#undef RAVLIN_SOFT_OPERATION_ID
};

inline constexpr const char* kSoftOpNames[] = {
#define RAVLIN_SOFT_OPERATION_NAME(id, name) name,
    RAVLIN_SOFT_OPERATIONS(RAVLIN_SOFT_OPERATION_NAME)
#undef RAVLIN_SOFT_OPERATION_NAME
};

inline constexpr size_t kSoftOpCount = sizeof(kSoftOpNames) / sizeof(kSoftOpNames[0]);

constexpr const char* SoftOpName(SoftOp op) { return kSoftOpNames[static_cast<size_t>(op)]; }
