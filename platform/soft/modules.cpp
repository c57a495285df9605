#include "platform/soft/modules.h"

#include "platform/soft/internal.h"

namespace {

const SoftExport kKernel32Exports[] = {
    {"GetModuleHandleA", SoftEntry(&GetModuleHandleA)},
    {"Sleep", SoftEntry(&Sleep)},
    {nullptr, nullptr},
};

const SoftExport kUser32Exports[] = {
    {"EnumDisplayDevicesA", SoftEntry(&EnumDisplayDevicesA)},
    {nullptr, nullptr},
};

const SoftExport kDdrawExports[] = {
    {"DirectDrawCreateEx", SoftEntry(&DirectDrawCreateEx)},
    {nullptr, nullptr},
};

const SoftExport kDinputExports[] = {
    {"DirectInputCreateEx", SoftEntry(&DirectInputCreateEx)},
    {nullptr, nullptr},
};

}  // namespace

const SoftModuleInfo kSoftModules[] = {
    {"KERNEL32.DLL", kKernel32Exports},
    {"USER32.DLL", kUser32Exports},
    {"DDRAW.DLL", kDdrawExports},
    {"DINPUT.DLL", kDinputExports},
};

const size_t kSoftModuleCount = sizeof(kSoftModules) / sizeof(kSoftModules[0]);

int SoftModuleNamed(const char* name) {
    for (size_t i = 0; i < kSoftModuleCount; ++i) {
        if (SoftSameNameIgnoringCase(kSoftModules[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}
