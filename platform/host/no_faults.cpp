// The fault injection of a host on a real machine: none. Its operations fail
// on their own; only the headless host injects faults.
//
// Depends on nothing.
#include "platform/host/host.h"

bool HostFault(const char* operation, int64_t* result) {
    (void)operation;
    (void)result;
    return false;
}
