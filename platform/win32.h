// The one door between the runtime and the platform: the Win32 API by its own
// names. On Windows this is the real API from the mingw-w64 headers; elsewhere
// it is the software layer, which declares the same subset with the same
// names, types and argument lists.
#pragma once

#ifdef _WIN32
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <dinput.h>
// windows.h maps these names to its own functions by macro; the runtime uses
// them for its own records and calls no such function.
#undef DrawState
#else
#include "platform/soft/win32_soft.h"
#endif
