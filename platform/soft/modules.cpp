#include "platform/soft/modules.h"

namespace {

const SoftExport kKernel32Exports[] = {
    {"GetModuleHandleA", SoftEntry(&GetModuleHandleA)},
    {"Sleep", SoftEntry(&Sleep)},
    {nullptr, nullptr},
};

}  // namespace

const SoftModuleInfo kSoftModules[] = {
    {"KERNEL32.DLL", kKernel32Exports},
};

const size_t kSoftModuleCount = sizeof(kSoftModules) / sizeof(kSoftModules[0]);
