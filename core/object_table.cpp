#include "core/object_table.h"

#include <cstdint>

#include "core/routines.h"
#include "core/runtime.h"

namespace {

void* RecordOf(ObjectNode* node) { return node + 1; }


intptr_t HandleOf(ObjectNode* node) { return reinterpret_cast<intptr_t>(RecordOf(node)); }

bool IsSlotNumber(const ObjectTable* table, intptr_t id) { return id >= 0 && id < table->capacity; }

uint8_t* SlotAt(const ObjectTable* table, intptr_t number) { return table->slots + number * table->recordSize; }

bool InUse(const void* record) { return record && *static_cast<const int32_t*>(record) != 0; }

// The node of a dynamic record of this table with this handle, or null: a
// handle is looked up, never followed, so that a number the table never gave
// out reads nothing.
ObjectNode* LiveNode(const ObjectTable* table, intptr_t handle) {
    for (ObjectNode* node = table->listHead; node; node = node->older) {
        if (HandleOf(node) == handle) return node;
    }
    return nullptr;
}

ObjectNode* Oldest(ObjectNode* node) {
    while (node && node->older) node = node->older;
    return node;
}

void* NewDynamicRecord(ObjectTable* table) {
    auto* node = static_cast<ObjectNode*>(
        HeapAlloc(Runtime.listHeap, HEAP_ZERO_MEMORY, sizeof(ObjectNode) + static_cast<size_t>(table->recordSize)));
    if (!node) return nullptr;
    node->older = table->listHead;
    if (table->listHead) table->listHead->newer = node;
    table->listHead = node;
    return RecordOf(node);
}

// Grows the array so that slot `number` exists: `growthStep` slots beyond it,
// the added ones zero. False, and the table unchanged, when memory runs out
// or the array's size would not fit in a size_t (on 32-bit x86, well before
// the slot count overflows).
bool GrowTo(ObjectTable* table, intptr_t number) {
    if (number > INT32_MAX - table->growthStep) return false;
    int64_t capacity = int64_t{number} + table->growthStep;
    if (static_cast<uint64_t>(capacity) > SIZE_MAX / static_cast<size_t>(table->recordSize)) return false;
    void* grown = HeapReAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, table->slots,
                              static_cast<size_t>(capacity) * static_cast<size_t>(table->recordSize));
    if (!grown) return false;
    table->slots = static_cast<uint8_t*>(grown);
    table->capacity = static_cast<int32_t>(capacity);
    return true;
}

}  // namespace

ObjectTable* ObjectTableCreate(int32_t recordSize, int32_t growthStep, ObjectSlotCallback slotCallback) {
    if (recordSize < 4 || growthStep < 1) return nullptr;
    auto* table = static_cast<ObjectTable*>(HeapAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, sizeof(ObjectTable)));
    if (!table) return nullptr;
    table->slots = static_cast<uint8_t*>(HeapAlloc(
        Runtime.mainHeap, HEAP_ZERO_MEMORY, static_cast<size_t>(growthStep) * static_cast<size_t>(recordSize)));
    if (!table->slots) {
        HeapFree(Runtime.mainHeap, 0, table);
        return nullptr;
    }
    table->recordSize = recordSize;
    table->growthStep = growthStep;
    table->capacity = growthStep;
    table->slotCallback = slotCallback;
    return table;
}

void* ObjectTableSlot(ObjectTable* table, intptr_t number) {
    if (!table || number < -1) return nullptr;
    if (number == -1) return NewDynamicRecord(table);
    if (number >= table->capacity && !GrowTo(table, number)) return nullptr;
    if (table->slotCallback) table->slotCallback(number);
    return SlotAt(table, number);
}

void* ObjectTableGet(ObjectTable* table, intptr_t id) {
    if (!table) return nullptr;
    if (IsSlotNumber(table, id)) return InUse(SlotAt(table, id)) ? SlotAt(table, id) : nullptr;
    ObjectNode* node = LiveNode(table, id);
    return node && InUse(RecordOf(node)) ? RecordOf(node) : nullptr;
}

void ObjectTableFree(ObjectTable* table, intptr_t id) {
    if (!table) return;
    if (IsSlotNumber(table, id)) {
        ZeroFill(SlotAt(table, id), table->recordSize);
        return;
    }
    ObjectNode* node = LiveNode(table, id);
    if (!node) return;
    if (node == table->listHead) {
        table->listHead = node->older;
        if (node->older) node->older->newer = nullptr;
    } else {
        if (node->newer) node->newer->older = node->older;
        if (node->older) node->older->newer = node->newer;
    }
    // A cursor about to yield this node moves on past it.
    if (table->iterNode == node) table->iterNode = node->newer;
    HeapFree(Runtime.listHeap, 0, node);
}

void ObjectTableIterStart(ObjectTable* table) {
    if (!table) return;
    table->iterIndex = 0;
    table->iterNode = Oldest(table->listHead);
}

void* ObjectTableIterNext(ObjectTable* table, intptr_t* id) {
    if (!table) return nullptr;
    while (table->iterIndex >= 0 && table->iterIndex < table->capacity) {
        intptr_t number = table->iterIndex++;
        if (InUse(SlotAt(table, number))) {
            *id = number;
            return SlotAt(table, number);
        }
    }
    if (!table->iterNode) return nullptr;
    ObjectNode* node = table->iterNode;
    table->iterNode = node->newer;
    *id = HandleOf(node);
    return RecordOf(node);
}

int32_t ObjectTableForEach(ObjectTable* table, ObjectVisit visit, intptr_t user) {
    if (!table || !visit) return 0;
    for (intptr_t number = 0; number < table->capacity; ++number) {
        uint8_t* record = SlotAt(table, number);
        if (InUse(record) && visit(number, record, user) == 0) return 0;
    }
    for (ObjectNode* node = Oldest(table->listHead); node;) {
        ObjectNode* newer = node->newer;
        if (visit(HandleOf(node), RecordOf(node), user) == 0) return 0;
        node = newer;
    }
    return 1;
}
