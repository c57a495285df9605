#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "support/fixture.h"

namespace {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { HeadlessReset(); }
    void TearDown() override { HeadlessReset(); }
};

bool AllBytesAre(const void* memory, size_t from, size_t to, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(memory);
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != value) return false;
    }
    return true;
}

// ---- heaps ----------------------------------------------------------------

using KernelHeapTest = KernelTest;

TEST_F(KernelHeapTest, ZeroFlagZeroesFreshBlocks) {
    HANDLE heap = HeapCreate(0, 4096, 0);
    ASSERT_NE(heap, nullptr);
    // Dirty some memory first, so that a reused block would show.
    for (int i = 0; i < 4; ++i) {
        void* dirty = HeapAlloc(heap, 0, 512);
        ASSERT_NE(dirty, nullptr);
        std::memset(dirty, 0xA5, 512);
        HeapFree(heap, 0, dirty);
    }
    void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, 512);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytesAre(block, 0, 512, 0));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    EXPECT_EQ(SoftHeapBlockCount(heap), 1u);
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(KernelHeapTest, ZeroFlagReAllocKeepsOldBytesAndZeroesGrowth) {
    HANDLE heap = HeapCreate(0, 4096, 0);
    ASSERT_NE(heap, nullptr);
    size_t size = 16;
    void* block = HeapAlloc(heap, 0, size);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x3C, size);
    for (size_t grown : {size_t{17}, size_t{100}, size_t{4096}, size_t{300000}}) {
        block = HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, grown);
        ASSERT_NE(block, nullptr) << grown;
        EXPECT_TRUE(AllBytesAre(block, 0, size, 0x3C)) << grown;
        EXPECT_TRUE(AllBytesAre(block, size, grown, 0)) << grown;
        std::memset(block, 0x3C, grown);
        size = grown;
    }
    EXPECT_EQ(SoftHeapBlockCount(heap), 1u);

    // Shrinking keeps the front; growing again zeroes everything past the
    // smaller size, though those bytes held the pattern before.
    block = HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytesAre(block, 0, 8, 0x3C));
    block = HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllBytesAre(block, 0, 8, 0x3C));
    EXPECT_TRUE(AllBytesAre(block, 8, 64, 0));
    EXPECT_EQ(SoftHeapBlockCount(heap), 1u);
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(KernelHeapTest, DestroyReleasesEveryBlockAndOnlyThatHeap) {
    size_t heaps = SoftHeapCount();
    HANDLE heap = HeapCreate(0, 4096, 0);
    HANDLE other = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
    ASSERT_NE(heap, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(heap, other);
    EXPECT_EQ(SoftHeapCount(), heaps + 2);

    std::vector<void*> blocks;
    for (int i = 0; i < 20; ++i) blocks.push_back(HeapAlloc(heap, i % 2 ? HEAP_ZERO_MEMORY : 0, 10 + 50 * i));
    void* kept = HeapAlloc(other, 0, 40);
    ASSERT_NE(kept, nullptr);
    // Free from the middle, the newest and the oldest; grow a few.
    EXPECT_TRUE(HeapFree(heap, 0, blocks[7]));
    EXPECT_TRUE(HeapFree(heap, 0, blocks[19]));
    EXPECT_TRUE(HeapFree(heap, 0, blocks[0]));
    blocks[3] = HeapReAlloc(heap, 0, blocks[3], 5000);
    blocks[12] = HeapReAlloc(heap, HEAP_ZERO_MEMORY, blocks[12], 7000);
    EXPECT_EQ(SoftHeapBlockCount(heap), 17u);
    EXPECT_EQ(SoftHeapBlockCount(other), 1u);

    // The sanitizer build reports any block this leaves behind.
    EXPECT_TRUE(HeapDestroy(heap));
    EXPECT_EQ(SoftHeapCount(), heaps + 1);
    EXPECT_EQ(SoftHeapBlockCount(other), 1u);
    std::memset(kept, 1, 40);
    EXPECT_TRUE(HeapFree(other, 0, kept));
    EXPECT_TRUE(HeapDestroy(other));
    EXPECT_EQ(SoftHeapCount(), heaps);
}

TEST_F(KernelHeapTest, DestroyedAndForeignHandlesAreRefused) {
    HANDLE heap = HeapCreate(0, 4096, 0);
    void* block = HeapAlloc(heap, 0, 64);
    ASSERT_NE(block, nullptr);
    ASSERT_TRUE(HeapDestroy(heap));

    // No heap is made in between, so the old handle cannot have come back.
    EXPECT_FALSE(HeapDestroy(heap));
    EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
    EXPECT_FALSE(HeapFree(heap, 0, block));
    EXPECT_EQ(HeapReAlloc(heap, 0, block, 128), nullptr);
    EXPECT_EQ(SoftHeapBlockCount(heap), 0u);

    int notAHeap = 0;
    for (HANDLE foreign : {static_cast<HANDLE>(&notAHeap), static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        EXPECT_EQ(HeapAlloc(foreign, HEAP_ZERO_MEMORY, 8), nullptr);
        EXPECT_FALSE(HeapFree(foreign, 0, nullptr));
        EXPECT_FALSE(HeapDestroy(foreign));
    }
    EXPECT_EQ(notAHeap, 0);
}

// ---- modules --------------------------------------------------------------

using KernelModuleTest = KernelTest;

TEST_F(KernelModuleTest, NamesMatchWithoutCaseAndLoadsAreCounted) {
    int loads = SoftModuleLoadCount("KERNEL32.DLL");
    HMODULE first = LoadLibraryA("kernel32.dll");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadLibraryA("KERNEL32.DLL"), first);
    EXPECT_EQ(LoadLibraryA("Kernel32.Dll"), first);
    EXPECT_EQ(SoftModuleLoadCount("kernel32.DLL"), loads + 3);
    EXPECT_EQ(GetModuleHandleA("KERNEL32.dll"), first);

    // Entry points are found under their exact names, and are the real ones.
    FARPROC sleep = GetProcAddress(first, "Sleep");
    ASSERT_NE(sleep, nullptr);
    EXPECT_EQ(reinterpret_cast<void (*)()>(sleep), reinterpret_cast<void (*)()>(&Sleep));
    EXPECT_NE(GetProcAddress(first, "GetModuleHandleA"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "sleep"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "SLEEP"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "Slee"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "SleepEx"), nullptr);
    EXPECT_EQ(GetProcAddress(first, nullptr), nullptr);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(SoftModuleLoadCount("KERNEL32.DLL"), loads + 1);
    EXPECT_NE(GetProcAddress(first, "Sleep"), nullptr);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(SoftModuleLoadCount("KERNEL32.DLL"), loads);

    if (loads == 0) {
        EXPECT_EQ(GetProcAddress(first, "Sleep"), nullptr);
        EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
        EXPECT_FALSE(FreeLibrary(first));
        EXPECT_EQ(SoftModuleLoadCount("KERNEL32.DLL"), 0);
    }
}

TEST_F(KernelModuleTest, UnknownModulesAndHandlesGiveNothing) {
    for (const char* name : {"nosuch.dll", "", "KERNEL32", "KERNEL32.DL", "KERNEL32.DLLX", "xKERNEL32.DLL"}) {
        EXPECT_EQ(LoadLibraryA(name), nullptr) << name;
        EXPECT_EQ(SoftModuleLoadCount(name), 0) << name;
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("nosuch.dll"), nullptr);

    int notAModule = 0;
    auto foreign = reinterpret_cast<HMODULE>(&notAModule);
    EXPECT_EQ(GetProcAddress(foreign, "Sleep"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "Sleep"), nullptr);
    EXPECT_FALSE(FreeLibrary(foreign));
    EXPECT_FALSE(FreeLibrary(nullptr));
    // The process's own module is no library.
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_FALSE(FreeLibrary(GetModuleHandleA(nullptr)));
}

TEST_F(KernelModuleTest, FaultAimedAtAnotherModuleLeavesThisOneAlone) {
    int loads = SoftModuleLoadCount("KERNEL32.DLL");
    FailOn(Fault{SoftOp::LoadLibraryA, "DDRAW.DLL"}, 1, 0);
    HMODULE module = LoadLibraryA("kernel32.dll");
    EXPECT_NE(module, nullptr);
    EXPECT_EQ(HeadlessFaultsPending(), 1);
    if (module) FreeLibrary(module);
    EXPECT_EQ(SoftModuleLoadCount("KERNEL32.DLL"), loads);
}

TEST_F(KernelModuleTest, FaultAimedAtAModuleFailsIt) {
    FailOn(Fault{SoftOp::LoadLibraryA, "KERNEL32.DLL"}, 1, 0);
    EXPECT_EQ(LoadLibraryA("kernel32.dll"), nullptr);
    EXPECT_EQ(HeadlessFaultsPending(), 0);

    HMODULE module = LoadLibraryA("kernel32.dll");
    ASSERT_NE(module, nullptr);
    FailOn(Fault{SoftOp::GetProcAddress, "Sleep"}, 1, 0);
    EXPECT_EQ(GetProcAddress(module, "Sleep"), nullptr);
    EXPECT_NE(GetProcAddress(module, "Sleep"), nullptr);
    FreeLibrary(module);
}

// ---- files ----------------------------------------------------------------

class KernelFileTest : public KernelTest {
protected:
    // The deletion also ends the making of a file a test closed.
    void TearDown() override {
        DeleteFileA(path.c_str());
        KernelTest::TearDown();
    }

    HANDLE Create() {
        return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string Contents() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    FreshDirectory directory;
    std::string path = (directory.path / "file.bin").string();
};

TEST_F(KernelFileTest, CreateNewMakesAFileAndRefusesAnExistingName) {
    HANDLE file = Create();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_NE(file, nullptr);
    DWORD written = 99;
    EXPECT_TRUE(WriteFile(file, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_TRUE(WriteFile(file, "", 0, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(WriteFile(file, " world", 6, nullptr, nullptr));
    // A large write goes out in pieces: every byte arrives, in order.
    std::string large(3 * 512 * 1024 + 7, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7 / 4096);
    EXPECT_TRUE(WriteFile(file, large.data(), DWORD(large.size()), &written, nullptr));
    EXPECT_EQ(written, large.size());
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Contents(), "hello world" + large);

    EXPECT_EQ(Create(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    char words[64];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(), 0, words, sizeof(words), nullptr),
              std::strlen("File exists"));
    EXPECT_STREQ(words, "File exists");
    EXPECT_EQ(Contents(), "hello world" + large);
}

TEST_F(KernelFileTest, InvalidHandlesAreRefused) {
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "a", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(WriteFile(nullptr, "a", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CloseHandle(nullptr));

    HANDLE heap = HeapCreate(0, 4096, 0);
    EXPECT_FALSE(WriteFile(heap, "a", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(heap));
    EXPECT_TRUE(HeapDestroy(heap));

    // A closed handle is as good as none.
    HANDLE file = Create();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_FALSE(WriteFile(file, "a", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(Contents(), "");
}

namespace {

std::vector<int> SignalsSeen;

void SeeSignal(int signal) { SignalsSeen.push_back(signal); }

}  // namespace

// A signal that would end the process while a file is in the making, from
// its creation until it is in its place, arrives once it is there, so that
// no file is cut short or left under its temporary name; a broken pipe is
// ignored meanwhile. The process's own handlers are back in place after.
TEST_F(KernelFileTest, SignalsWaitUntilTheFileIsInItsPlace) {
    const int signals[] = {SIGTERM, SIGHUP, SIGPIPE};
    struct sigaction seeing = {}, before[3] = {};
    seeing.sa_handler = SeeSignal;
    for (int i = 0; i < 3; ++i) sigaction(signals[i], &seeing, &before[i]);
    SignalsSeen.clear();
    const std::string placed = path + ".placed";

    HANDLE file = Create();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    raise(SIGTERM);
    raise(SIGPIPE);
    EXPECT_TRUE(WriteFile(file, "whole", 5, nullptr, nullptr));
    EXPECT_TRUE(CloseHandle(file));
    raise(SIGHUP);
    EXPECT_TRUE(SignalsSeen.empty());
    EXPECT_TRUE(MoveFileExA(path.c_str(), placed.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(SignalsSeen, (std::vector<int>{SIGTERM, SIGHUP}));
    raise(SIGTERM);
    EXPECT_EQ(SignalsSeen.size(), 3u);
    std::ifstream in(placed);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "whole");

    for (int i = 0; i < 3; ++i) sigaction(signals[i], &before[i], nullptr);
}

// ---- clock and fault counting ---------------------------------------------

using KernelClockTest = KernelTest;

TEST_F(KernelClockTest, CounterRunsAtTheHostRateAndOnlySleepMovesIt) {
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, kHeadlessTicksPerSecond);
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(after.QuadPart, before.QuadPart);
    Sleep(1500);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(after.QuadPart - before.QuadPart, kHeadlessTicksPerSecond * 3 / 2);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}

// The calls of an operation from now on that fail, 1 for the first.
std::vector<int> FailingCalls(int calls) {
    std::vector<int> failing;
    LARGE_INTEGER ticks;
    for (int call = 1; call <= calls; ++call) {
        if (!QueryPerformanceCounter(&ticks)) failing.push_back(call);
    }
    return failing;
}

TEST_F(KernelClockTest, FaultsFireOnTheirNthCallForTheirNumberOfTimes) {
    FailOn(SoftOp::QueryPerformanceCounter, 3, 0);
    EXPECT_EQ(HeadlessFaultsPending(), 1);
    EXPECT_EQ(FailingCalls(2), std::vector<int>{});
    EXPECT_EQ(HeadlessFaultsPending(), 1);
    EXPECT_EQ(FailingCalls(3), std::vector<int>{1});
    EXPECT_EQ(HeadlessFaultsPending(), 0);

    FailOn(SoftOp::QueryPerformanceCounter, 2, 0, 3);
    EXPECT_EQ(FailingCalls(6), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(HeadlessFaultsPending(), 0);

    FailOn(SoftOp::QueryPerformanceCounter, 1, 0, -1);
    EXPECT_EQ(FailingCalls(50).size(), 50u);
    EXPECT_EQ(HeadlessFaultsPending(), 1);
    HeadlessReset();
    EXPECT_EQ(HeadlessFaultsPending(), 0);
    EXPECT_EQ(FailingCalls(3), std::vector<int>{});
}

TEST_F(KernelClockTest, FaultsCountOnlyTheirOwnOperation) {
    FailOn(SoftOp::QueryPerformanceCounter, 2, 0);
    LARGE_INTEGER value;
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(QueryPerformanceFrequency(&value));
    EXPECT_EQ(FailingCalls(3), std::vector<int>{2});
}

TEST_F(KernelClockTest, FaultKeepsItsOwnCopyOfTheOperationName) {
    std::string name = "QueryPerformanceCounter";
    HeadlessFailOn(name.c_str(), 1, 0);
    name.assign(name.size(), 'x');  // same length: rewritten in place
    EXPECT_EQ(FailingCalls(2), std::vector<int>{1});
}

}  // namespace
