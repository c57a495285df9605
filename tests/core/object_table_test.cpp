#include "core/object_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/runtime.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "support/fixture.h"

namespace {

constexpr int32_t kRecordSize = 24;
constexpr int32_t kStep = 64;

std::vector<intptr_t> SlotCalls;

void RecordSlotCall(intptr_t number) { SlotCalls.push_back(number); }

// Marks a record live by giving its first field a nonzero value.
void MakeLive(void* record, int32_t value = 1) { std::memcpy(record, &value, sizeof value); }

ObjectNode* NodeOf(intptr_t handle) { return reinterpret_cast<ObjectNode*>(handle) - 1; }

bool AllZero(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

class ObjectTableTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        SlotCalls.clear();
        table = ObjectTableCreate(kRecordSize, kStep, RecordSlotCall);
        ASSERT_NE(table, nullptr);
    }

    // Every id the cursor yields, in order.
    std::vector<intptr_t> CursorIds() {
        std::vector<intptr_t> ids;
        ObjectTableIterStart(table);
        intptr_t id = 0;
        while (ObjectTableIterNext(table, &id)) ids.push_back(id);
        return ids;
    }

    // Every id ObjectTableForEach visits, in order.
    std::vector<intptr_t> ForEachIds() {
        std::vector<intptr_t> ids;
        ObjectTableForEach(
            table,
            [](intptr_t id, void*, intptr_t user) -> int32_t {
                reinterpret_cast<std::vector<intptr_t>*>(user)->push_back(id);
                return 1;
            },
            reinterpret_cast<intptr_t>(&ids));
        return ids;
    }

    ObjectTable* table = nullptr;
};

TEST_F(ObjectTableTest, NewTableHasStepSlotsAllFree) {
    EXPECT_EQ(table->recordSize, kRecordSize);
    EXPECT_EQ(table->capacity, kStep);
    EXPECT_EQ(table->listHead, nullptr);
    EXPECT_TRUE(AllZero(table->slots, size_t{kStep} * kRecordSize));
    for (intptr_t n = 0; n < kStep; ++n) EXPECT_EQ(ObjectTableGet(table, n), nullptr) << n;
    EXPECT_TRUE(CursorIds().empty());
    EXPECT_TRUE(ForEachIds().empty());
    EXPECT_TRUE(SlotCalls.empty());
}

TEST_F(ObjectTableTest, GrowthKeepsOldSlotsAndZeroesNewOnes) {
    for (intptr_t n = 0; n < kStep; ++n) {
        auto* record = static_cast<uint8_t*>(ObjectTableSlot(table, n));
        ASSERT_NE(record, nullptr);
        std::memset(record, static_cast<int>(n + 1), kRecordSize);
    }
    SlotCalls.clear();

    auto* grown = static_cast<uint8_t*>(ObjectTableSlot(table, 64));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(table->capacity, 128);
    EXPECT_EQ(grown, table->slots + 64 * kRecordSize);
    EXPECT_EQ(SlotCalls, std::vector<intptr_t>{64});
    for (intptr_t n = 0; n < kStep; ++n) {
        const uint8_t* record = table->slots + n * kRecordSize;
        for (int32_t b = 0; b < kRecordSize; ++b) ASSERT_EQ(record[b], n + 1) << "slot " << n << " byte " << b;
    }
    EXPECT_TRUE(AllZero(table->slots + 64 * kRecordSize, size_t{64} * kRecordSize));

    // Growth goes one step beyond the number asked for, not by doubling.
    ASSERT_NE(ObjectTableSlot(table, 200), nullptr);
    EXPECT_EQ(table->capacity, 264);
    EXPECT_TRUE(AllZero(table->slots + 128 * kRecordSize, size_t{136} * kRecordSize));
    EXPECT_EQ(ObjectTableGet(table, 5), table->slots + 5 * kRecordSize);
}

TEST_F(ObjectTableTest, SlotCallbackRunsOnEveryNumberedRequestOnly) {
    ObjectTableSlot(table, 5);  // free slot
    MakeLive(ObjectTableSlot(table, 5));
    ObjectTableSlot(table, 5);  // live slot, asked for again
    ObjectTableSlot(table, 0);
    ObjectTableSlot(table, -1);
    EXPECT_EQ(SlotCalls, (std::vector<intptr_t>{5, 5, 5, 0}));

    // A table without a callback hands out slots all the same.
    ObjectTable* plain = ObjectTableCreate(kRecordSize, kStep, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(ObjectTableSlot(plain, 70), nullptr);
    EXPECT_EQ(plain->capacity, 70 + kStep);
}

TEST_F(ObjectTableTest, FreeingOlderOfTwoDynamicRecordsLeavesOneUnlinked) {
    size_t blocks = SoftHeapBlockCount(Runtime.listHeap);
    auto first = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    auto second = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), blocks + 2);
    // Handles never look like slot numbers, and new records are zero.
    EXPECT_GE(first, table->capacity);
    EXPECT_TRUE(AllZero(reinterpret_cast<uint8_t*>(first), kRecordSize));

    ObjectTableFree(table, first);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), blocks + 1);
    ASSERT_EQ(table->listHead, NodeOf(second));
    EXPECT_EQ(table->listHead->older, nullptr);
    EXPECT_EQ(table->listHead->newer, nullptr);

    MakeLive(ObjectTableSlot(table, 3));
    EXPECT_EQ(CursorIds(), (std::vector<intptr_t>{3, second}));

    ObjectTableFree(table, second);
    EXPECT_EQ(table->listHead, nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), blocks);
}

TEST_F(ObjectTableTest, FreeingMiddleAndNewestRelinksNeighbours) {
    intptr_t ids[3];
    for (intptr_t& id : ids) id = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));

    ObjectTableFree(table, ids[1]);
    EXPECT_EQ(NodeOf(ids[0])->newer, NodeOf(ids[2]));
    EXPECT_EQ(NodeOf(ids[2])->older, NodeOf(ids[0]));
    EXPECT_EQ(CursorIds(), (std::vector<intptr_t>{ids[0], ids[2]}));

    ObjectTableFree(table, ids[2]);
    EXPECT_EQ(table->listHead, NodeOf(ids[0]));
    EXPECT_EQ(NodeOf(ids[0])->newer, nullptr);
    EXPECT_EQ(ForEachIds(), std::vector<intptr_t>{ids[0]});
}

TEST_F(ObjectTableTest, CursorAndForEachVisitSlotsAscendingThenRecordsOldestFirst) {
    auto a = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    MakeLive(ObjectTableSlot(table, 40));
    auto b = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    MakeLive(ObjectTableSlot(table, 2));
    MakeLive(ObjectTableSlot(table, 100));  // beyond the first capacity
    auto c = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    MakeLive(ObjectTableSlot(table, 7));
    MakeLive(reinterpret_cast<void*>(a));

    const std::vector<intptr_t> expected = {2, 7, 40, 100, a, b, c};
    EXPECT_EQ(CursorIds(), expected);
    EXPECT_EQ(ForEachIds(), expected);

    // The cursor hands out the record that belongs to each id.
    ObjectTableIterStart(table);
    intptr_t id = -5;
    EXPECT_EQ(ObjectTableIterNext(table, &id), table->slots + 2 * kRecordSize);
    EXPECT_EQ(id, 2);

    // At the end the id is left alone, and the cursor stays at its end.
    while (ObjectTableIterNext(table, &id)) {
    }
    EXPECT_EQ(id, c);
    id = 12345;
    EXPECT_EQ(ObjectTableIterNext(table, &id), nullptr);
    EXPECT_EQ(id, 12345);
}

TEST_F(ObjectTableTest, FreeingEachObjectAsTheCursorYieldsItVisitsEachOnce) {
    size_t blocks = SoftHeapBlockCount(Runtime.listHeap);
    std::vector<intptr_t> made;
    for (intptr_t n : {0, 1, 63, 64, 90}) {
        MakeLive(ObjectTableSlot(table, n));
        made.push_back(n);
    }
    for (int i = 0; i < 4; ++i) made.push_back(reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1)));

    std::vector<intptr_t> seen;
    ObjectTableIterStart(table);
    intptr_t id = 0;
    while (ObjectTableIterNext(table, &id)) {
        seen.push_back(id);
        ObjectTableFree(table, id);
        ASSERT_LE(seen.size(), made.size());
    }
    EXPECT_EQ(seen, made);
    EXPECT_EQ(table->listHead, nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), blocks);
    EXPECT_TRUE(AllZero(table->slots, size_t(table->capacity) * kRecordSize));
}

TEST_F(ObjectTableTest, ForEachMayFreeTheRecordItVisits) {
    intptr_t ids[3];
    for (intptr_t& id : ids) id = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    MakeLive(ObjectTableSlot(table, 9));

    static ObjectTable* visited;
    static std::vector<intptr_t> seen;
    visited = table;
    seen.clear();
    int32_t result = ObjectTableForEach(
        table,
        [](intptr_t id, void* record, intptr_t) -> int32_t {
            EXPECT_EQ(ObjectTableGet(visited, id) == nullptr, id >= visited->capacity);
            if (id >= visited->capacity) {
                EXPECT_EQ(reinterpret_cast<intptr_t>(record), id);
            }
            seen.push_back(id);
            ObjectTableFree(visited, id);
            return 1;
        },
        0);
    EXPECT_NE(result, 0);
    EXPECT_EQ(seen, (std::vector<intptr_t>{9, ids[0], ids[1], ids[2]}));
    EXPECT_EQ(table->listHead, nullptr);
}

TEST_F(ObjectTableTest, FirstFieldZeroMeansFreeForSlotsButNotForDynamicRecords) {
    auto* slot = static_cast<uint8_t*>(ObjectTableSlot(table, 4));
    std::memset(slot + 4, 0xAB, kRecordSize - 4);  // first field stays zero
    MakeLive(ObjectTableSlot(table, 6), 0x100);    // nonzero in its second byte only
    auto* record = static_cast<uint8_t*>(ObjectTableSlot(table, -1));
    std::memset(record + 4, 0xCD, kRecordSize - 4);
    auto handle = reinterpret_cast<intptr_t>(record);

    EXPECT_EQ(ObjectTableGet(table, 4), nullptr);
    EXPECT_EQ(ObjectTableGet(table, 6), table->slots + 6 * kRecordSize);
    EXPECT_EQ(ObjectTableGet(table, handle), nullptr);
    EXPECT_EQ(CursorIds(), (std::vector<intptr_t>{6, handle}));
    EXPECT_EQ(ForEachIds(), (std::vector<intptr_t>{6, handle}));

    MakeLive(record);
    EXPECT_EQ(ObjectTableGet(table, handle), record);

    // Freeing a slot zeroes all of it, not only the first field.
    ObjectTableFree(table, 4);
    EXPECT_TRUE(AllZero(table->slots + 4 * kRecordSize, kRecordSize));
    EXPECT_EQ(SlotCalls.size(), 2u);  // freeing does not call it
}

TEST_F(ObjectTableTest, ForEachStopsAtTheFirstVisitGivingZero) {
    for (intptr_t n : {1, 2, 3, 4}) MakeLive(ObjectTableSlot(table, n));
    ObjectTableSlot(table, -1);

    int calls = 0;
    int32_t result = ObjectTableForEach(
        table,
        [](intptr_t id, void*, intptr_t user) -> int32_t {
            ++*reinterpret_cast<int*>(user);
            return id == 3 ? 0 : 1;
        },
        reinterpret_cast<intptr_t>(&calls));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(calls, 3);

    // Stopping on a dynamic record works the same way.
    calls = 0;
    result = ObjectTableForEach(
        table,
        [](intptr_t id, void*, intptr_t user) -> int32_t {
            ++*reinterpret_cast<int*>(user);
            return id > 4 ? 0 : 1;
        },
        reinterpret_cast<intptr_t>(&calls));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(calls, 5);
}

TEST_F(ObjectTableTest, FailedNodeAllocationChangesNothing) {
    auto kept = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    size_t blocks = SoftHeapBlockCount(Runtime.listHeap);
    ObjectNode* head = table->listHead;

    FailOn(SoftOp::HeapAlloc, 1, 0);
    EXPECT_EQ(ObjectTableSlot(table, -1), nullptr);
    EXPECT_EQ(HeadlessFaultsPending(), 0);
    EXPECT_EQ(table->listHead, head);
    EXPECT_EQ(head->newer, nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), blocks);
    EXPECT_EQ(CursorIds(), std::vector<intptr_t>{kept});

    auto next = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    ASSERT_NE(next, 0);
    EXPECT_EQ(CursorIds(), (std::vector<intptr_t>{kept, next}));
}

TEST_F(ObjectTableTest, FailedGrowthLeavesTheTableAsItWas) {
    MakeLive(ObjectTableSlot(table, 10), 77);
    uint8_t* slots = table->slots;
    size_t blocks = SoftHeapBlockCount(Runtime.mainHeap);

    FailOn(SoftOp::HeapReAlloc, 1, 0);
    EXPECT_EQ(ObjectTableSlot(table, 64), nullptr);
    EXPECT_EQ(HeadlessFaultsPending(), 0);
    EXPECT_EQ(table->capacity, kStep);
    EXPECT_EQ(table->slots, slots);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), blocks);
    EXPECT_EQ(CursorIds(), std::vector<intptr_t>{10});

    // The next request grows it as usual, with the old slot intact.
    ASSERT_NE(ObjectTableSlot(table, 64), nullptr);
    EXPECT_EQ(table->capacity, 128);
    int32_t first = 0;
    std::memcpy(&first, ObjectTableGet(table, 10), sizeof first);
    EXPECT_EQ(first, 77);
}

// Ids that no request gave out, and numbers whose slots cannot exist, read
// nothing and free nothing: a handle is looked up, never followed.
TEST_F(ObjectTableTest, IdsNeverGivenOutReadAndFreeNothing) {
    MakeLive(ObjectTableSlot(table, 3));
    auto record = reinterpret_cast<intptr_t>(ObjectTableSlot(table, -1));
    MakeLive(reinterpret_cast<void*>(record));
    SlotCalls.clear();
    int32_t elsewhere = 1;
    const intptr_t foreign[] = {-7, -2, kStep, 12345, INTPTR_MAX, INTPTR_MIN, record + 8, record - 16,
                                reinterpret_cast<intptr_t>(&elsewhere)};
    for (intptr_t id : foreign) {
        SCOPED_TRACE(id);
        EXPECT_EQ(ObjectTableGet(table, id), nullptr);
        ObjectTableFree(table, id);
        EXPECT_EQ(CursorIds(), (std::vector<intptr_t>{3, record}));
    }
    for (intptr_t number : {intptr_t{-2}, INTPTR_MIN, INTPTR_MAX, intptr_t{INT32_MAX}, intptr_t{INT32_MAX} - kStep + 1}) {
        EXPECT_EQ(ObjectTableSlot(table, number), nullptr) << number;
    }
    EXPECT_TRUE(SlotCalls.empty());
    EXPECT_EQ(table->capacity, kStep);
}

}  // namespace
