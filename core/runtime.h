// The runtime's one record: the program's state, the module and the heaps.
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

// Zeroes the program's state, the module and the main heap, then takes the
// module handle and creates the heaps and the scratch buffer. The main heap
// goes at the process's end; the others are left to the process's exit.
void RuntimeHeapsCreate();
// Destroys the heaps that are left, as a process's end does.
void RuntimeHeapsDestroy();
