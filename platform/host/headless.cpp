// The headless host: a virtual clock, a fixed desktop and fault injection, all
// in memory. The smallest complete host.
#include "platform/host/headless.h"

#include <string>
#include <vector>

namespace {

struct Fault {
    std::string operation;
    int callsToSkip;
    int64_t result;
    int timesLeft;  // -1: never runs out
};

struct HeadlessHostState {
    int64_t ticks = 0;
    HostDesktopMode desktop = {1024, 768, 32, 60};
    std::vector<Fault> faults;
};

HeadlessHostState HeadlessHost;

}  // namespace

int64_t HostTicks() { return HeadlessHost.ticks; }

int64_t HostTicksPerSecond() { return kHeadlessTicksPerSecond; }

void HostSleep(uint32_t milliseconds) {
    HeadlessHost.ticks += int64_t{milliseconds} * (kHeadlessTicksPerSecond / 1000);
}

void HostExit(uint32_t code) { throw HeadlessExit{code}; }

HostDesktopMode HostPrimaryDesktop() { return HeadlessHost.desktop; }

bool HostFault(const char* operation, int64_t* result) {
    if (HeadlessHost.faults.empty()) return false;
    // Every armed fault of this operation counts the call; the first one due fires.
    bool fired = false;
    for (auto it = HeadlessHost.faults.begin(); it != HeadlessHost.faults.end(); ++it) {
        if (it->operation != operation) continue;
        if (it->callsToSkip > 0) {
            --it->callsToSkip;
            continue;
        }
        if (fired) continue;
        fired = true;
        *result = it->result;
        if (it->timesLeft > 0) --it->timesLeft;
    }
    // Spent faults go once the walk is over.
    std::erase_if(HeadlessHost.faults, [](const Fault& fault) { return fault.timesLeft == 0; });
    return fired;
}

void HeadlessSetDesktop(HostDesktopMode mode) { HeadlessHost.desktop = mode; }

void HeadlessFailOn(const char* operation, int nth, int64_t result, int times) {
    HeadlessHost.faults.push_back({operation, nth > 1 ? nth - 1 : 0, result, times});
}

int HeadlessFaultsPending() { return static_cast<int>(HeadlessHost.faults.size()); }

void HeadlessReset() {
    HeadlessHost.faults.clear();
    HeadlessHost.desktop = {1024, 768, 32, 60};
}
