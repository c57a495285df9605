// Counts what a running ravlin.exe holds, and times its frames:
//   ravlin_resource_probe MODE SECONDS [SAMPLE_MS]
// MODE "program" runs the program itself (RuntimeStart, ProgramMain) on the
// main thread. The other modes run a bare flip loop of the probe's own at the
// desktop's size, to tell apart what the program adds:
//   flip        a colour fill, Flip(DDFLIP_WAIT) and Sleep(40) per frame
//   flip-dc     and GetDC/ReleaseDC on the back buffer, with one ellipse
//   flip-input  and a DirectInput keyboard state and mouse buffer read
//   flip-all    both
// and any of these with "-nosleep" after it, which leaves the Sleep(40) out.
// A second thread samples every SAMPLE_MS (1000): GDI and USER objects
// (GetGuiResources, and where that answers 0 a scan of the GDI handle table
// and the process's windows), every heap's busy blocks (HeapWalk), and the
// process's memory (GetProcessMemoryInfo and committed private pages). It
// sleeps in steps of Sleep(40), timed, and after SECONDS prints the frame
// timings and ends the process. Output is tab-separated; '#' lines are notes.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/program.h"
#include "core/guids.h"
#include "core/runtime.h"
#include "display/screen.h"
#include "input/input.h"
#include "runtime/lifecycle.h"

namespace {

// Places in the COM method tables, in the order ddraw.h and dinput.h declare them.
constexpr int kCreateSurfaceMethod = 6;   // IDirectDraw7
constexpr int kBltMethod = 5;             // IDirectDrawSurface7
constexpr int kFlipMethod = 11;           // IDirectDrawSurface7
constexpr int kGetDeviceStateMethod = 9;  // IDirectInputDevice7A

constexpr int kMaxFrames = 1 << 16;
constexpr int kMaxSleeps = 1 << 16;
constexpr DWORD kFrameSleep = 40;

// Performance-counter ticks of each frame's steps: the colour fill that
// starts it, the flip's entry and return, and the first input read after it
// (in the program, the end of its Sleep(40)).
struct FrameTimes {
    int64_t start;
    int64_t flipIn;
    int64_t flipOut;
    int64_t sleepEnd;
};

FrameTimes Frames[kMaxFrames];
std::atomic<int> FrameCount{0};
double SleepMs[kMaxSleeps];
int SleepCount = 0;
double TicksPerMs = 1;

int64_t Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

FrameTimes& Current() { return Frames[FrameCount.load() % kMaxFrames]; }

void FrameDone() { FrameCount.fetch_add(1); }

// Replaces one entry of a COM object's method table (shared by every object
// of its class) and returns the entry it held.
void* PatchMethod(void* object, int index, void* replacement) {
    void** table = *static_cast<void***>(object);
    DWORD old = 0;
    VirtualProtect(&table[index], sizeof(void*), PAGE_EXECUTE_READWRITE, &old);
    void* original = table[index];
    if (original != replacement) table[index] = replacement;
    VirtualProtect(&table[index], sizeof(void*), old, &old);
    return original == replacement ? nullptr : original;
}

// The program's calls, timed on their way through.
typedef HRESULT(WINAPI* BltRoutine)(IDirectDrawSurface7*, LPRECT, IDirectDrawSurface7*, LPRECT, DWORD, LPDDBLTFX);
typedef HRESULT(WINAPI* FlipRoutine)(IDirectDrawSurface7*, IDirectDrawSurface7*, DWORD);
typedef HRESULT(WINAPI* CreateSurfaceRoutine)(IDirectDraw7*, LPDDSURFACEDESC2, IDirectDrawSurface7**, IUnknown*);
typedef HRESULT(WINAPI* DeviceStateRoutine)(IDirectInputDevice7A*, DWORD, LPVOID);
BltRoutine OriginalBlt;
FlipRoutine OriginalFlip;
CreateSurfaceRoutine OriginalCreateSurface;
DeviceStateRoutine OriginalDeviceState;

HRESULT WINAPI TimedBlt(IDirectDrawSurface7* self, LPRECT to, IDirectDrawSurface7* from, LPRECT fromRect, DWORD flags,
                        LPDDBLTFX effects) {
    if ((flags & DDBLT_COLORFILL) && self == ScreenState.backBuffer) Current().start = Now();
    return OriginalBlt(self, to, from, fromRect, flags, effects);
}

HRESULT WINAPI TimedFlip(IDirectDrawSurface7* self, IDirectDrawSurface7* target, DWORD flags) {
    FrameTimes& frame = Current();
    frame.flipIn = Now();
    HRESULT result = OriginalFlip(self, target, flags);
    frame.flipOut = Now();
    return result;
}

HRESULT WINAPI TimedDeviceState(IDirectInputDevice7A* self, DWORD size, LPVOID state) {
    if (self == KeyboardState.device) {
        Current().sleepEnd = Now();
        FrameDone();
    }
    return OriginalDeviceState(self, size, state);
}

HRESULT WINAPI CreateSurfaceAndTime(IDirectDraw7* self, LPDDSURFACEDESC2 description, IDirectDrawSurface7** surface,
                                    IUnknown* outer) {
    HRESULT result = OriginalCreateSurface(self, description, surface, outer);
    if (result == DD_OK && *surface && !OriginalFlip) {
        OriginalBlt =
            reinterpret_cast<BltRoutine>(PatchMethod(*surface, kBltMethod, reinterpret_cast<void*>(TimedBlt)));
        OriginalFlip =
            reinterpret_cast<FlipRoutine>(PatchMethod(*surface, kFlipMethod, reinterpret_cast<void*>(TimedFlip)));
    }
    return result;
}

// --- The counts -------------------------------------------------------------

struct GdiCount {
    int total, dc, memoryDc, brush, pen, bitmap, region, other;
};

// Every live GDI object of the process, by type. Wine takes a handle whose
// high word is 0 as naming whatever entry its low word indexes; Windows does
// not (there GetGuiResources answers), and the scan then finds nothing.
GdiCount ScanGdi() {
    GdiCount count = {};
    for (uintptr_t index = 1; index < 0x10000; ++index) {
        DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(index));
        if (type == 0) continue;
        ++count.total;
        switch (type) {
            case OBJ_DC:
                ++count.dc;
                break;
            case OBJ_MEMDC:
                ++count.memoryDc;
                break;
            case OBJ_BRUSH:
                ++count.brush;
                break;
            case OBJ_PEN:
                ++count.pen;
                break;
            case OBJ_BITMAP:
                ++count.bitmap;
                break;
            case OBJ_REGION:
                ++count.region;
                break;
            default:
                ++count.other;
                break;
        }
    }
    return count;
}

struct WindowCount {
    DWORD process;
    int windows;
};

BOOL CALLBACK CountChild(HWND window, LPARAM user) {
    auto* count = reinterpret_cast<WindowCount*>(user);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == count->process) ++count->windows;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM user) {
    CountChild(window, user);
    EnumChildWindows(window, CountChild, user);
    return TRUE;
}

// The process's windows: top-level ones with their children, and message-only ones.
int CountWindows() {
    WindowCount count = {GetCurrentProcessId(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        CountChild(window, reinterpret_cast<LPARAM>(&count));
    }
    return count.windows;
}

struct HeapCount {
    HANDLE heap;
    int blocks;
    uint64_t bytes;
    void* largest;  // the largest busy block, to be found in the address space
    DWORD largestBytes;
};

constexpr int kMaxHeaps = 64;

// Busy blocks of every heap of the process. Nothing is allocated while a
// heap is locked.
int WalkHeaps(HeapCount* counts) {
    HANDLE heaps[kMaxHeaps];
    DWORD found = GetProcessHeaps(kMaxHeaps, heaps);
    int n = static_cast<int>(std::min<DWORD>(found, kMaxHeaps));
    for (int i = 0; i < n; ++i) {
        counts[i] = {heaps[i], 0, 0, nullptr, 0};
        HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry;
        entry.lpData = nullptr;
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                ++counts[i].blocks;
                counts[i].bytes += entry.cbData;
                if (entry.cbData > counts[i].largestBytes) {
                    counts[i].largest = entry.lpData;
                    counts[i].largestBytes = entry.cbData;
                }
            }
        }
        HeapUnlock(heaps[i]);
    }
    return n;
}

// Committed private pages, from the address space itself.
uint64_t CommittedPrivateBytes() {
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (uintptr_t address = 0; VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof(region)) != 0;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

const char* HeapName(HANDLE heap) {
    if (heap == GetProcessHeap()) return "process";
    if (heap == Runtime.mainHeap) return "main";
    if (heap == Runtime.listHeap) return "list";
    if (heap == Runtime.scratchHeap) return "scratch";
    return "other";
}

void PrintHeaps(const char* when, const HeapCount* counts, int n) {
    for (int i = 0; i < n; ++i) {
        std::printf("# heap %s %p %s: %d blocks, %llu bytes, the largest %lu bytes at %p\n", when, counts[i].heap,
                    HeapName(counts[i].heap), counts[i].blocks, static_cast<unsigned long long>(counts[i].bytes),
                    counts[i].largestBytes, counts[i].largest);
    }
}

int BlocksOf(const HeapCount* counts, int n, HANDLE heap) {
    for (int i = 0; i < n; ++i) {
        if (counts[i].heap == heap) return counts[i].blocks;
    }
    return -1;
}

// --- The summary of frame times ---------------------------------------------

void PrintSpread(const char* name, std::vector<double> values) {
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))]; };
    std::printf("# timing %-10s n=%zu p10=%.2f median=%.2f p90=%.2f max=%.2f ms\n", name, values.size(), at(0.1),
                at(0.5), at(0.9), values.back());
}

void PrintTimings() {
    int frames = std::min(FrameCount.load(), kMaxFrames);
    std::vector<double> interval, work, flip, sleep, rest;
    // The first frames are the display's set-up: left out.
    for (int i = 3; i < frames; ++i) {
        const FrameTimes& f = Frames[i];
        const FrameTimes& before = Frames[i - 1];
        auto ms = [](int64_t from, int64_t to) { return static_cast<double>(to - from) / TicksPerMs; };
        interval.push_back(ms(before.flipIn, f.flipIn));
        work.push_back(ms(f.start, f.flipIn));
        flip.push_back(ms(f.flipIn, f.flipOut));
        sleep.push_back(ms(f.flipOut, f.sleepEnd));
        rest.push_back(ms(before.sleepEnd, f.start));
    }
    std::printf("# timing frames=%d\n", frames);
    PrintSpread("interval", interval);
    PrintSpread("draw", work);
    PrintSpread("flip", flip);
    PrintSpread("sleep", sleep);
    PrintSpread("input", rest);
    PrintSpread("Sleep(40)", std::vector<double>(SleepMs, SleepMs + std::min(SleepCount, kMaxSleeps)));
}

// --- The sampling thread ----------------------------------------------------

struct SamplerArguments {
    int seconds;
    int sampleMs;
};

DWORD WINAPI Sample(LPVOID argument) {
    const auto* args = static_cast<SamplerArguments*>(argument);
    // The program holds a 1 ms timer period too; the probe's own Sleep(40)s
    // show what such a sleep takes here.
    timeBeginPeriod(1);
    const int64_t origin = Now();

    GdiCount before = ScanGdi();
    HBRUSH marker = CreateSolidBrush(0x123456);
    GdiCount with = ScanGdi();
    DeleteObject(marker);
    SetLastError(0);
    DWORD guiGdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD guiError = GetLastError();
    std::printf(
        "# GetGuiResources(GR_GDIOBJECTS) = %lu, last error %lu; the handle scan saw %d objects, %d with one "
        "more brush\n",
        guiGdi, guiError, before.total, with.total);

    static HeapCount heaps[kMaxHeaps];
    int heapCount = WalkHeaps(heaps);
    PrintHeaps("first", heaps, heapCount);
    std::printf(
        "t_s\tframes\tfps\tgui_gdi\tgui_user\tgdi\tdc\tmemdc\tbrush\tpen\tbitmap\tregion\tother\twindows\t"
        "heaps\tblocks\theap_kB\tmain\tlist\tscratch\tprivate_kB\tworkset_kB\tcommit_kB\tscan_ms\n");
    std::fflush(stdout);

    int lastFrames = FrameCount.load();
    int64_t lastSample = Now();
    for (;;) {
        // Sleep to the next sample time in timed steps of Sleep(40).
        const int64_t due = lastSample + static_cast<int64_t>(args->sampleMs * TicksPerMs);
        while (Now() + static_cast<int64_t>(kFrameSleep * TicksPerMs) <= due) {
            int64_t from = Now();
            Sleep(kFrameSleep);
            if (SleepCount < kMaxSleeps) SleepMs[SleepCount++] = static_cast<double>(Now() - from) / TicksPerMs;
        }
        while (Now() < due) Sleep(1);

        const int64_t sampleStart = Now();
        const int frames = FrameCount.load();
        const double seconds = static_cast<double>(sampleStart - lastSample) / (TicksPerMs * 1000);
        GdiCount gdi = ScanGdi();
        int windows = CountWindows();
        heapCount = WalkHeaps(heaps);
        int blocks = 0;
        uint64_t bytes = 0;
        for (int i = 0; i < heapCount; ++i) {
            blocks += heaps[i].blocks;
            bytes += heaps[i].bytes;
        }
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof(memory);
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
        uint64_t committed = CommittedPrivateBytes();
        const double scanMs = static_cast<double>(Now() - sampleStart) / TicksPerMs;

        std::printf(
            "%.1f\t%d\t%.2f\t%lu\t%lu\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%llu\t%d\t%d\t%d\t%lu\t%lu\t%llu\t"
            "%.1f\n",
            static_cast<double>(sampleStart - origin) / (TicksPerMs * 1000), frames, (frames - lastFrames) / seconds,
            GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
            gdi.total, gdi.dc, gdi.memoryDc, gdi.brush, gdi.pen, gdi.bitmap, gdi.region, gdi.other, windows, heapCount,
            blocks, static_cast<unsigned long long>(bytes / 1024), BlocksOf(heaps, heapCount, Runtime.mainHeap),
            BlocksOf(heaps, heapCount, Runtime.listHeap), BlocksOf(heaps, heapCount, Runtime.scratchHeap),
            static_cast<unsigned long>(memory.PrivateUsage / 1024),
            static_cast<unsigned long>(memory.WorkingSetSize / 1024), static_cast<unsigned long long>(committed / 1024),
            scanMs);
        std::fflush(stdout);
        lastFrames = frames;
        lastSample = sampleStart;
        if (sampleStart - origin >= static_cast<int64_t>(args->seconds * 1000.0 * TicksPerMs)) break;
    }
    PrintHeaps("last", heaps, heapCount);
    PrintTimings();
    std::fflush(stdout);
    ExitProcess(0);
}

// --- The bare flip loops ----------------------------------------------------

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(window, message, first, second);
}

typedef HRESULT(WINAPI* DirectDrawCreateExRoutine)(GUID*, LPVOID*, REFIID, IUnknown*);
typedef HRESULT(WINAPI* DirectInputCreateExRoutine)(HINSTANCE, DWORD, REFIID, LPVOID*, IUnknown*);

template <typename Routine>
Routine Entry(const char* library, const char* name) {
    HMODULE module = LoadLibraryA(library);
    return module ? reinterpret_cast<Routine>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

[[noreturn]] void Fail(const char* what) {
    std::printf("# bare loop: %s failed\n", what);
    std::fflush(stdout);
    ExitProcess(1);
}

// A flip loop without the runtime, with or without a device context and input each frame.
[[noreturn]] void BareLoop(bool useDc, bool useInput, bool sleeps) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "ravlin probe";
    RegisterClassExA(&windowClass);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "probe", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) Fail("CreateWindowExA");

    auto createDisplay = Entry<DirectDrawCreateExRoutine>("DDRAW.DLL", "DirectDrawCreateEx");
    IDirectDraw7* display = nullptr;
    if (!createDisplay ||
        createDisplay(nullptr, reinterpret_cast<LPVOID*>(&display), kIidDirectDraw7, nullptr) != DD_OK)
        Fail("DirectDrawCreateEx");
    if (display->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE) != DD_OK) Fail("SetCooperativeLevel");
    if (display->SetDisplayMode(DWORD(width), DWORD(height), 32, 0, 0) != DD_OK) Fail("SetDisplayMode");
    DDSURFACEDESC2 primary = {};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    primary.dwBackBufferCount = 1;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    IDirectDrawSurface7* front = nullptr;
    IDirectDrawSurface7* back = nullptr;
    if (display->CreateSurface(&primary, &front, nullptr) != DD_OK) Fail("CreateSurface");
    DDSCAPS2 backCaps = {};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
    if (front->GetAttachedSurface(&backCaps, &back) != DD_OK) Fail("GetAttachedSurface");
    DWORD hertz = 0;
    display->GetMonitorFrequency(&hertz);
    std::printf("# bare loop %dx%d, monitor frequency %lu Hz, device context %s, input %s, Sleep(40) %s\n", width,
                height, hertz, useDc ? "yes" : "no", useInput ? "yes" : "no", sleeps ? "yes" : "no");
    std::fflush(stdout);

    IDirectInputDevice7A* keyboard = nullptr;
    IDirectInputDevice7A* mouse = nullptr;
    if (useInput) {
        auto createInput = Entry<DirectInputCreateExRoutine>("DINPUT.DLL", "DirectInputCreateEx");
        IDirectInput7A* input = nullptr;
        if (!createInput ||
            createInput(instance, 0x0700, kIidDirectInput7A, reinterpret_cast<LPVOID*>(&input), nullptr) != DI_OK)
            Fail("DirectInputCreateEx");
        if (input->CreateDeviceEx(kGuidSysKeyboard, kIidDirectInputDevice7A, reinterpret_cast<LPVOID*>(&keyboard),
                                  nullptr) != DI_OK ||
            keyboard->SetDataFormat(&c_dfDIKeyboard) != DI_OK)
            Fail("the keyboard");
        keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
        keyboard->Acquire();
        if (input->CreateDeviceEx(kGuidSysMouse, kIidDirectInputDevice7A, reinterpret_cast<LPVOID*>(&mouse), nullptr) !=
                DI_OK ||
            mouse->SetDataFormat(&c_dfDIMouse) != DI_OK)
            Fail("the mouse");
        mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
        DIPROPDWORD buffer = {};
        buffer.diph.dwSize = sizeof(buffer);
        buffer.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        buffer.diph.dwHow = DIPH_DEVICE;
        buffer.dwData = 64;
        mouse->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph);
        mouse->Acquire();
    }

    DDBLTFX fill = {};
    fill.dwSize = sizeof(fill);
    HBRUSH brush = CreateSolidBrush(0x00C0FF);
    for (;;) {
        FrameTimes& frame = Current();
        frame.start = Now();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        HDC dc = nullptr;
        if (useDc && back->GetDC(&dc) == DD_OK) {
            HGDIOBJ kept = SelectObject(dc, brush);
            Ellipse(dc, width / 2 - 40, height / 2 - 40, width / 2 + 40, height / 2 + 40);
            SelectObject(dc, kept);
            back->ReleaseDC(dc);
        }
        frame.flipIn = Now();
        HRESULT flipped = front->Flip(nullptr, DDFLIP_WAIT);
        frame.flipOut = Now();
        if (flipped == DDERR_SURFACELOST) front->Restore();
        if (sleeps) Sleep(kFrameSleep);
        frame.sleepEnd = Now();
        if (useInput) {
            BYTE keys[256];
            if (keyboard->GetDeviceState(sizeof(keys), keys) != DI_OK) keyboard->Acquire();
            DIDEVICEOBJECTDATA events[64];
            DWORD count = 64;
            if (mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0) != DI_OK) mouse->Acquire();
        }
        FrameDone();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: ravlin_resource_probe program|flip[-dc|-input|-all][-nosleep] SECONDS [SAMPLE_MS]\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerMs = static_cast<double>(frequency.QuadPart) / 1000;
    static SamplerArguments args = {std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : 1000};
    if (args.seconds <= 0 || args.sampleMs <= 0) return 2;
    const char* mode = argv[1];

    if (std::strcmp(mode, "program") == 0) {
        RuntimeStart();
        // The display object and the keyboard exist once the runtime has started.
        if (ScreenState.displayObject) {
            OriginalCreateSurface = reinterpret_cast<CreateSurfaceRoutine>(PatchMethod(
                ScreenState.displayObject, kCreateSurfaceMethod, reinterpret_cast<void*>(CreateSurfaceAndTime)));
        }
        if (KeyboardState.device) {
            OriginalDeviceState = reinterpret_cast<DeviceStateRoutine>(
                PatchMethod(KeyboardState.device, kGetDeviceStateMethod, reinterpret_cast<void*>(TimedDeviceState)));
        }
        if (!OriginalCreateSurface || !OriginalDeviceState) std::printf("# the program's frames are not timed\n");
        CreateThread(nullptr, 0, Sample, &args, 0, nullptr);
        ProgramMain();
    }
    char bare[32];
    std::snprintf(bare, sizeof(bare), "%s", mode);
    char* noSleep = std::strstr(bare, "-nosleep");
    if (noSleep) *noSleep = 0;
    const bool dc = std::strcmp(bare, "flip-dc") == 0 || std::strcmp(bare, "flip-all") == 0;
    const bool input = std::strcmp(bare, "flip-input") == 0 || std::strcmp(bare, "flip-all") == 0;
    if (!dc && !input && std::strcmp(bare, "flip") != 0) return 2;
    CreateThread(nullptr, 0, Sample, &args, 0, nullptr);
    BareLoop(dc, input, !noSleep);
}
