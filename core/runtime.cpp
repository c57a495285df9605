#include "core/runtime.h"

#include <cstddef>

#include "core/routines.h"

RuntimeState Runtime;

namespace {

void ScratchBufferSetUp() {
    Runtime.scratchHeap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
    Runtime.scratchBuffer = HeapAlloc(Runtime.scratchHeap, HEAP_NO_SERIALIZE, 16);
}

void ListHeapSetUp() { Runtime.listHeap = HeapCreate(0, 1024, 0); }

void DestroyHeap(HANDLE& heap) {
    if (heap) HeapDestroy(heap);
    heap = nullptr;
}

}  // namespace

void RuntimeHeapsCreate() {
    ZeroFill(&Runtime, static_cast<int32_t>(offsetof(RuntimeState, listHeap)));
    Runtime.module = GetModuleHandleA(nullptr);
    Runtime.mainHeap = HeapCreate(0, 4096, 0);
    ScratchBufferSetUp();
    ListHeapSetUp();
}

void RuntimeHeapsDestroy() {
    DestroyHeap(Runtime.mainHeap);
    DestroyHeap(Runtime.listHeap);
    DestroyHeap(Runtime.scratchHeap);
}
