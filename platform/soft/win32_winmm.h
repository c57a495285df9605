// The software WinMM's Win32: the system timer's period. win32_soft.h
// includes it.
#pragma once

#include "platform/soft/win32_types.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
