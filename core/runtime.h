// The process frame: the program's state, the runtime's heaps, the start
// and the end.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// What the main routine keeps for the whole run.
struct ProgramState {
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t centreX;
    int32_t centreY;
    float scale;
    double clock;
    int32_t quitting;
};

struct RuntimeState {
    // Zeroed together, as one block, when the runtime starts.
    ProgramState program;
    HMODULE module;
    HANDLE mainHeap;
    // Zero because the process starts so.
    HANDLE listHeap;
    HANDLE scratchHeap;
    void* scratchBuffer;
};

extern RuntimeState Runtime;

// The first stage of the process: the heaps, then every library's set-up.
void RuntimeStart();

// The libraries' shut-downs, the main heap's destruction, the process's exit.
[[noreturn]] void ProgramEnd(uint32_t exitCode);
