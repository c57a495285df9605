// The software layer's built-in modules: what LoadLibraryA can find by name,
// with the entry points GetProcAddress gives out.
#pragma once

#include <cstddef>

#include "platform/soft/win32_soft.h"

struct SoftExport {
    const char* name;
    FARPROC address;
};

struct SoftModuleInfo {
    const char* name;
    const SoftExport* exports;  // ends with a null name
};

extern const SoftModuleInfo kSoftModules[];
extern const size_t kSoftModuleCount;

// The index in kSoftModules of the module of that name, in any case, or -1.
int SoftModuleNamed(const char* name);

// Every entry point is handed out under the one type FARPROC, as on Windows.
template <typename Function>
FARPROC SoftEntry(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}
