#include "platform/soft/modules.h"

#include "platform/soft/soft.h"

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
