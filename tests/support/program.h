// Runs the program, or any part of the runtime that ends the process, to its
// end on the headless host: for tests and the fuzzer (it needs no GoogleTest).
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "app/program.h"
#include "platform/host/headless.h"

// How a run ended: through ExitProcess with its code, stopped at the frame
// cap, or by returning (which the program never does).
struct ProgramRun {
    enum End { kExited, kStopped, kReturned } end;
    uint32_t code = 0;
    bool operator==(const ProgramRun&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const ProgramRun& run) {
        if (run.end == kExited) return out << "exit code " << run.code;
        return out << (run.end == kStopped ? "stopped at the frame cap" : "returned");
    }
};

inline ProgramRun Exited(uint32_t code) { return {ProgramRun::kExited, code}; }
inline constexpr ProgramRun kStoppedAtTheCap = {ProgramRun::kStopped};

// Runs `run` until it ends the process, stopped once `frames` more frames have
// been presented, so that a program that never ends fails instead of hanging.
inline ProgramRun RunProgram(const std::function<void()>& run = ProgramMain, int frames = 400) {
    HeadlessStopAfterFrames(static_cast<int>(HeadlessFrames().size()) + frames);
    ProgramRun ended = {ProgramRun::kReturned};
    try {
        run();
    } catch (const HeadlessExit& exit) {
        ended = Exited(exit.code);
    } catch (const HeadlessStopped&) {
        ended = kStoppedAtTheCap;
    }
    HeadlessStopAfterFrames(0);
    return ended;
}
