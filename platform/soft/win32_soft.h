// The software layer's Win32: exactly the subset the runtime calls, declared
// with the names, types and argument lists of the Windows headers, so that
// runtime code compiles unchanged against either. Anything not declared here
// is not available, which keeps the runtime honest about what it uses.
#pragma once

// One header a library, each with the basics it shares (win32_types.h).
#include "platform/soft/win32_ddraw.h"
#include "platform/soft/win32_dinput.h"
#include "platform/soft/win32_gdi.h"
#include "platform/soft/win32_kernel.h"
#include "platform/soft/win32_user.h"
#include "platform/soft/win32_winmm.h"
