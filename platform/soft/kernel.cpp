// The software kernel: heaps, modules, files, the clock and the process end.
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/soft/internal.h"
#include "platform/soft/modules.h"

namespace {

// Every block carries this header, which links it into its heap's list so that
// HeapDestroy can release them all. 32 bytes keep the caller's part aligned
// to 16.
struct alignas(16) BlockHeader {
    BlockHeader* prev;
    BlockHeader* next;
    size_t size;
};

struct SoftHeap {
    BlockHeader* blocks = nullptr;
    size_t count = 0;
};

// A file from its creation until it is renamed or deleted; closed, it has
// no descriptor and its handle is refused, but it is still in the making.
struct SoftFile {
    int fd;
    char name[MAX_PATH];
    int64_t written = 0;  // bytes written so far
    int64_t sent = 0;     // of which the system was asked to start writing out
};

struct KernelLibraryState {
    std::vector<SoftHeap*> heaps;
    std::vector<SoftFile*> files;
    // How often each built-in module is loaded; a module's handle is the
    // address of its count.
    int moduleLoads[16] = {};
    // The process's own module; its address is the module handle.
    char processModule = 0;
    // The one thread's priority; its address is the thread's handle.
    int threadPriority = 0;
    DWORD lastError = ERROR_SUCCESS;
    // While a file is in the making, from its creation until it is renamed
    // or deleted, the signals that end the process are noted instead, and
    // raised again once that is over: no file is left half written, nor
    // whole but not in its place. A broken pipe is ignored meanwhile.
    int signalHolds = 0;
    struct sigaction signalActions[3] = {};
    struct sigaction pipeAction = {};
};

constexpr int kHeldSignals[3] = {SIGINT, SIGTERM, SIGHUP};
// Set by the handler, from any thread; read once the hold ends.
volatile sig_atomic_t SignalsArrived[3] = {};

// Heaps and files live until the process ends, so the record is never
// destroyed: what is still allocated at exit stays reachable from it.
SoftLasting<KernelLibraryState> KernelRecord;
KernelLibraryState& Kernel = KernelRecord.record;

SoftHeap* HeapFromHandle(HANDLE handle) {
    auto found = std::find(Kernel.heaps.begin(), Kernel.heaps.end(), handle);
    return found == Kernel.heaps.end() ? nullptr : *found;
}

BlockHeader* HeaderOf(void* memory) { return static_cast<BlockHeader*>(memory) - 1; }

void Link(SoftHeap* heap, BlockHeader* block) {
    block->prev = nullptr;
    block->next = heap->blocks;
    if (heap->blocks) heap->blocks->prev = block;
    heap->blocks = block;
    ++heap->count;
}

void Unlink(SoftHeap* heap, BlockHeader* block) {
    if (block->prev) block->prev->next = block->next;
    else heap->blocks = block->next;
    if (block->next) block->next->prev = block->prev;
    --heap->count;
}

HMODULE ModuleHandle(size_t index) { return reinterpret_cast<HMODULE>(&Kernel.moduleLoads[index]); }

// The index of a loaded module, or -1.
int LoadedModule(HMODULE handle) {
    for (size_t i = 0; i < kSoftModuleCount; ++i) {
        if (ModuleHandle(i) == handle && Kernel.moduleLoads[i] > 0) return static_cast<int>(i);
    }
    return -1;
}

void NoteSignal(int signal) {
    for (int i = 0; i < 3; ++i) {
        if (kHeldSignals[i] == signal) SignalsArrived[i] = 1;
    }
}

// The handler takes the signals in whichever thread they reach; one that the
// process ignores stays ignored.
void HoldSignals() {
    if (Kernel.signalHolds++ > 0) return;
    struct sigaction noting = {};
    noting.sa_handler = NoteSignal;
    sigfillset(&noting.sa_mask);
    for (int i = 0; i < 3; ++i) {
        SignalsArrived[i] = 0;
        sigaction(kHeldSignals[i], nullptr, &Kernel.signalActions[i]);
        if (Kernel.signalActions[i].sa_handler != SIG_IGN) sigaction(kHeldSignals[i], &noting, nullptr);
    }
    struct sigaction ignoring = {};
    ignoring.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignoring, &Kernel.pipeAction);
}

void ReleaseSignals() {
    if (--Kernel.signalHolds > 0) return;
    sigaction(SIGPIPE, &Kernel.pipeAction, nullptr);
    for (int i = 0; i < 3; ++i) sigaction(kHeldSignals[i], &Kernel.signalActions[i], nullptr);
    for (int i = 0; i < 3; ++i) {
        if (SignalsArrived[i]) raise(kHeldSignals[i]);
    }
}

// A closed file renamed or deleted (or an attempt at either) is made.
void FileMade(const char* name) {
    auto closedUnderName = [name](const SoftFile* file) { return file->fd < 0 && std::strcmp(file->name, name) == 0; };
    auto made = std::find_if(Kernel.files.begin(), Kernel.files.end(), closedUnderName);
    if (made == Kernel.files.end()) return;
    delete *made;
    Kernel.files.erase(made);
    ReleaseSignals();
}

// How Windows numbers the reasons the system gives; the first entry of a
// number is the one its reason is told by. A reason with no such number is
// told by its own, with the bit Windows leaves to applications.
struct ErrorNumber {
    int posix;
    DWORD windows;
};

constexpr ErrorNumber kErrorNumbers[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EROFS, ERROR_WRITE_PROTECT},
    {EEXIST, ERROR_FILE_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EBUSY, ERROR_BUSY},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {EISDIR, ERROR_DIRECTORY_NOT_SUPPORTED},
    {EIO, ERROR_IO_DEVICE},
};

constexpr DWORD kApplicationError = 0x20000000;

DWORD ErrorFromPosix(int posix) {
    for (const ErrorNumber& number : kErrorNumbers) {
        if (number.posix == posix) return number.windows;
    }
    return kApplicationError | DWORD(posix);
}

// The POSIX reason a Windows number stands for, or -1 for a number it has none for.
int PosixFromError(DWORD windows) {
    if (windows & kApplicationError) return int(windows & 0xFFFF);
    for (const ErrorNumber& number : kErrorNumbers) {
        if (number.windows == windows) return number.posix;
    }
    return -1;
}

// A failure's result, with its reason for GetLastError.
template <typename Result>
Result Failed(DWORD reason, Result result) {
    Kernel.lastError = reason;
    return result;
}

// A failure injected into a file operation gives the reason a failing disk would.
bool FileFault(SoftOp operation, int64_t* result) {
    if (!SoftFault(operation, result)) return false;
    Kernel.lastError = ERROR_IO_DEVICE;
    return true;
}

// Once 512 KiB of whole pages has been written since the last time, the
// system is asked to start writing them to the disk, without waiting. The
// rename that puts a file in its place would otherwise send all of it at once
// and wait for the disk (ext4 does, when it replaces a file); so the disk
// works while the rest is copied in. The last, partial 4 KiB page is left to
// be written on. Only advice: what the system answers changes nothing.
constexpr int64_t kWritebackBytes = 512 * 1024;

void StartWriteback(SoftFile& file) {
#ifdef __linux__
    const int64_t wholePages = file.written & ~int64_t{4095};
    if (wholePages - file.sent < kWritebackBytes) return;
    sync_file_range(file.fd, off_t(file.sent), off_t(wholePages - file.sent), SYNC_FILE_RANGE_WRITE);
    file.sent = wholePages;
#else
    (void)file;
#endif
}

// An open file's, not a closed one's.
SoftFile* FileFromHandle(HANDLE handle) {
    auto found = std::find(Kernel.files.begin(), Kernel.files.end(), handle);
    return found == Kernel.files.end() || (*found)->fd < 0 ? nullptr : *found;
}

}  // namespace

bool SoftSameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

// ---- faults ---------------------------------------------------------------

bool SoftFault(SoftOp operation, int64_t* result) { return HostFault(SoftOpName(operation), result); }

bool SoftFault(SoftOp operation, const char* argument, int64_t* result) {
    // Module and entry names are matched as the operation matches them: module
    // names without regard to case, entry names exactly.
    std::string named = std::string(SoftOpName(operation)) + " ";
    bool anyCase = operation == SoftOp::LoadLibraryA;
    for (const char* c = argument; *c; ++c) {
        named += anyCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
    }
    return HostFault(named.c_str(), result) || HostFault(SoftOpName(operation), result);
}

DWORD SoftTickCount() {
    int64_t ticks = HostTicks();
    int64_t perSecond = HostTicksPerSecond();
    return static_cast<DWORD>(ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond);
}

// ---- heaps ----------------------------------------------------------------

void SoftAdviseHugePages(void* memory, size_t bytes) {
#ifdef __linux__
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + bytes) & ~(kHugePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)bytes;
#endif
}

HANDLE WINAPI HeapCreate(DWORD, SIZE_T, SIZE_T) {
    if (int64_t failed; SoftFault(SoftOp::HeapCreate, &failed)) return reinterpret_cast<HANDLE>(failed);
    auto* heap = new SoftHeap;
    Kernel.heaps.push_back(heap);
    return heap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (int64_t failed; SoftFault(SoftOp::HeapAlloc, &failed)) return reinterpret_cast<LPVOID>(failed);
    SoftHeap* heap = HeapFromHandle(hHeap);
    if (!heap || dwBytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    size_t total = sizeof(BlockHeader) + dwBytes;
    void* raw = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, total) : std::malloc(total);
    if (!raw) return nullptr;
    SoftAdviseHugePages(raw, total);
    auto* block = static_cast<BlockHeader*>(raw);
    block->size = dwBytes;
    Link(heap, block);
    return block + 1;
}

LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    if (int64_t failed; SoftFault(SoftOp::HeapReAlloc, &failed)) return reinterpret_cast<LPVOID>(failed);
    SoftHeap* heap = HeapFromHandle(hHeap);
    if (!heap || !lpMem || dwBytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    BlockHeader* old = HeaderOf(lpMem);
    size_t oldSize = old->size;
    Unlink(heap, old);
    auto* block = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + dwBytes));
    if (!block) {
        Link(heap, old);  // the old block is untouched when realloc fails
        return nullptr;
    }
    block->size = dwBytes;
    Link(heap, block);
    if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > oldSize) {
        std::memset(reinterpret_cast<char*>(block + 1) + oldSize, 0, dwBytes - oldSize);
    }
    return block + 1;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    SoftHeap* heap = HeapFromHandle(hHeap);
    if (!heap) return FALSE;
    if (!lpMem) return TRUE;
    BlockHeader* block = HeaderOf(lpMem);
    Unlink(heap, block);
    std::free(block);
    return TRUE;
}

BOOL WINAPI HeapDestroy(HANDLE hHeap) {
    SoftHeap* heap = HeapFromHandle(hHeap);
    if (!heap) return FALSE;
    while (heap->blocks) {
        BlockHeader* block = heap->blocks;
        heap->blocks = block->next;
        std::free(block);
    }
    Kernel.heaps.erase(std::find(Kernel.heaps.begin(), Kernel.heaps.end(), heap));
    delete heap;
    return TRUE;
}

SoftKernelView SoftKernelViewNow() {
    SoftKernelView view{{}, Kernel.moduleLoads};
    for (SoftHeap* heap : Kernel.heaps) view.heapBlocks[heap] = heap->count;
    return view;
}

// ---- modules --------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) return reinterpret_cast<HMODULE>(&Kernel.processModule);
    int module = SoftModuleNamed(lpModuleName);
    return module >= 0 && Kernel.moduleLoads[module] > 0 ? ModuleHandle(module) : nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) return nullptr;
    if (int64_t failed; SoftFault(SoftOp::LoadLibraryA, lpLibFileName, &failed))
        return reinterpret_cast<HMODULE>(failed);
    int module = SoftModuleNamed(lpLibFileName);
    if (module < 0) return nullptr;
    ++Kernel.moduleLoads[module];
    return ModuleHandle(module);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    int module = LoadedModule(hModule);
    if (module < 0 || !lpProcName) return nullptr;
    if (int64_t failed; SoftFault(SoftOp::GetProcAddress, lpProcName, &failed))
        return reinterpret_cast<FARPROC>(failed);
    // Entry points are named exactly, case and all, as on Windows.
    for (const SoftExport* entry = kSoftModules[module].exports; entry->name; ++entry) {
        if (std::strcmp(entry->name, lpProcName) == 0) return entry->address;
    }
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    int module = LoadedModule(hLibModule);
    if (module < 0) return FALSE;
    --Kernel.moduleLoads[module];
    return TRUE;
}

// ---- clock and process ----------------------------------------------------

void WINAPI Sleep(DWORD dwMilliseconds) { HostSleep(dwMilliseconds); }

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    int64_t failed;
    if (!lpPerformanceCount || SoftFault(SoftOp::QueryPerformanceCounter, &failed)) return FALSE;
    lpPerformanceCount->QuadPart = HostTicks();
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    int64_t failed;
    if (!lpFrequency || SoftFault(SoftOp::QueryPerformanceFrequency, &failed)) return FALSE;
    lpFrequency->QuadPart = HostTicksPerSecond();
    return TRUE;
}

void WINAPI ExitProcess(UINT uExitCode) { HostExit(uExitCode); }

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString) std::fputs(lpOutputString, stderr);
}

// ---- the thread -----------------------------------------------------------

// Priorities are kept, not applied: the one thread runs as it is.
HANDLE WINAPI GetCurrentThread() { return &Kernel.threadPriority; }

int WINAPI GetThreadPriority(HANDLE hThread) {
    return hThread == &Kernel.threadPriority ? Kernel.threadPriority : 0x7FFFFFFF;  // THREAD_PRIORITY_ERROR_RETURN
}

BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
    if (hThread != &Kernel.threadPriority || nPriority < -15 || nPriority > 15) return FALSE;
    Kernel.threadPriority = nPriority;
    return TRUE;
}

// ---- files ----------------------------------------------------------------

// Only what the runtime asks for: a file made anew for writing. Whatever
// already has the name, a link or a pipe included, is refused and left as
// it is; the file is never opened through a link, nor waited for.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD, HANDLE) {
    int64_t failed;
    if (FileFault(SoftOp::CreateFileA, &failed)) return reinterpret_cast<HANDLE>(failed);
    if (!lpFileName || dwDesiredAccess != GENERIC_WRITE || dwCreationDisposition != CREATE_NEW) {
        return Failed(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    if (std::strlen(lpFileName) >= MAX_PATH) return Failed(ERROR_FILENAME_EXCED_RANGE, INVALID_HANDLE_VALUE);
    auto* file = new (std::nothrow) SoftFile{-1, {}};
    if (!file) return Failed(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
    std::memcpy(file->name, lpFileName, std::strlen(lpFileName) + 1);
    HoldSignals();
    file->fd = open(lpFileName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (file->fd < 0) {
        const DWORD reason = ErrorFromPosix(errno);
        delete file;
        ReleaseSignals();
        return Failed(reason, INVALID_HANDLE_VALUE);
    }
    Kernel.files.push_back(file);
    return file;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    SoftFile* file = FileFromHandle(hFile);
    if (!file || (!lpBuffer && nNumberOfBytesToWrite)) return Failed(ERROR_INVALID_PARAMETER, FALSE);
    int64_t failed;
    if (FileFault(SoftOp::WriteFile, &failed)) return static_cast<BOOL>(failed);
    const char* data = static_cast<const char*>(lpBuffer);
    DWORD written = 0;
    // In pieces, each started on its way to the disk while the next is copied.
    while (written < nNumberOfBytesToWrite) {
        const DWORD piece = std::min<DWORD>(nNumberOfBytesToWrite - written, kWritebackBytes);
        ssize_t n = write(file->fd, data + written, piece);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = written;
            return Failed(n == 0 ? ERROR_DISK_FULL : ErrorFromPosix(errno), FALSE);
        }
        written += static_cast<DWORD>(n);
        file->written += n;
        StartWriteback(*file);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = written;
    return TRUE;
}

// A rename or a deletion of a file in the making ends its making, whether
// it succeeds or not.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (!lpExistingFileName || !lpNewFileName) return Failed(ERROR_INVALID_PARAMETER, FALSE);
    HoldSignals();
    int64_t failed;
    BOOL renamed = FALSE;
    if (FileFault(SoftOp::MoveFileExA, &failed)) {
        renamed = static_cast<BOOL>(failed);
    } else if (!(dwFlags & MOVEFILE_REPLACE_EXISTING) && access(lpNewFileName, F_OK) == 0) {
        renamed = Failed(ERROR_FILE_EXISTS, FALSE);  // an existing target is kept
    } else {
        renamed = std::rename(lpExistingFileName, lpNewFileName) == 0 ? TRUE : Failed(ErrorFromPosix(errno), FALSE);
    }
    FileMade(lpExistingFileName);
    ReleaseSignals();
    return renamed;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    if (!lpFileName) return Failed(ERROR_INVALID_PARAMETER, FALSE);
    int64_t failed;
    BOOL deleted = FALSE;
    if (FileFault(SoftOp::DeleteFileA, &failed)) {
        deleted = static_cast<BOOL>(failed);
    } else {
        deleted = unlink(lpFileName) == 0 ? TRUE : Failed(ErrorFromPosix(errno), FALSE);
    }
    FileMade(lpFileName);
    return deleted;
}

// A file closed is still in the making until it is renamed or deleted.
BOOL WINAPI CloseHandle(HANDLE hObject) {
    SoftFile* file = FileFromHandle(hObject);
    if (!file) return Failed(ERROR_INVALID_HANDLE, FALSE);
    int closed = close(file->fd);
    if (closed != 0) Kernel.lastError = ErrorFromPosix(errno);
    file->fd = -1;
    int64_t failed;
    if (FileFault(SoftOp::CloseHandle, &failed)) return static_cast<BOOL>(failed);
    return closed == 0;
}

// ---- reasons --------------------------------------------------------------

DWORD WINAPI GetLastError() { return Kernel.lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { Kernel.lastError = dwErrCode; }

namespace {

// The words for a reason: the host's own for having no display, the C
// library's for the others; none for a reason without words.
const char* WordsFor(DWORD reason) {
    if (reason == SOFT_ERROR_NO_DISPLAY) {
        const char* words = HostNoDisplayReason();
        return *words ? words : nullptr;
    }
    const int posix = PosixFromError(reason);
    return posix < 0 ? nullptr : std::strerror(posix);
}

}  // namespace

// The system's words for a reason, without the line end Windows adds.
DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, va_list*) {
    const char* words = WordsFor(dwMessageId);
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer || nSize == 0 || !words) {
        return Failed(words ? ERROR_INVALID_PARAMETER : ERROR_MR_MID_NOT_FOUND, DWORD{0});
    }
    int length = std::snprintf(lpBuffer, nSize, "%s", words);
    return length < 0 ? 0 : std::min<DWORD>(DWORD(length), nSize - 1);
}
