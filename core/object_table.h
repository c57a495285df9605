// A registry of fixed-size records of one kind: numbered slots in a growable
// array, and dynamic records in a linked list whose handle is the record's
// own address. A numbered slot is in use while its first 32-bit field is
// nonzero. The table never frees what its records refer to.
#pragma once

#include <cstdint>

// Called on every numbered request, before the slot is handed out.
typedef void (*ObjectSlotCallback)(intptr_t number);
// Called for each live object; returns nonzero to go on.
typedef int32_t (*ObjectVisit)(intptr_t id, void* record, intptr_t user);

struct ObjectNode {
    ObjectNode* older;
    ObjectNode* newer;
    // the record follows
};

struct ObjectTable {
    int32_t recordSize;
    int32_t growthStep;
    int32_t capacity;
    ObjectNode* listHead;  // the newest dynamic record's node
    ObjectSlotCallback slotCallback;
    int32_t iterIndex;
    ObjectNode* iterNode;
    uint8_t* slots;
};

// A table with `growthStep` free slots, from the main heap; null when the
// heap cannot give it.
ObjectTable* ObjectTableCreate(int32_t recordSize, int32_t growthStep, ObjectSlotCallback slotCallback);

// Get-or-make: -1 makes a new dynamic record and gives its handle; a number of
// 0 or more gives that slot, growing the array as needed, after the slot
// callback has run on the number. Null when memory runs out or for numbers
// below -1.
void* ObjectTableSlot(ObjectTable* table, intptr_t number);

// The live record for a slot number or a handle, or null.
void* ObjectTableGet(ObjectTable* table, intptr_t id);

// Zeroes a slot, or unlinks and releases a dynamic record.
void ObjectTableFree(ObjectTable* table, intptr_t id);

// A cursor over every live object, slots first, then dynamic records oldest
// first. The caller may free each object as it is returned.
void ObjectTableIterStart(ObjectTable* table);
void* ObjectTableIterNext(ObjectTable* table, intptr_t* id);

// visit(id, record, user) for every live object until a visit gives 0;
// gives 0 then, nonzero when the walk ran to its end.
int32_t ObjectTableForEach(ObjectTable* table, ObjectVisit visit, intptr_t user);
