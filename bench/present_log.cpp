// Loaded into the unchanged ravlin program with LD_PRELOAD by
// tools/program-bench: each present the SDL host makes (a renderer's present
// or an update of the window's framebuffer; on native Wayland, the flush of
// the connection that follows each frame the host commits) appends the steady
// clock's time in nanoseconds, one line, to the file RAVLIN_PRESENT_LOG names.
// Each of the program's waits between frames (a sleep of 30 to 60 ms) adds a
// line "TIME wait", so that the tool tells the running frames, which follow
// a wait, from the shrinking ones, which do not, whatever presents are
// missing. Lines are written at once, since the program ends without running
// exit handlers.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

struct wl_display;

namespace {

// Appends the time now to the log, with a word after it if one is given.
void Log(const char* word = nullptr) {
    static int log = [] {
        const char* path = std::getenv("RAVLIN_PRESENT_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    if (log < 0) return;
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[48];
    int length = std::snprintf(line, sizeof(line), "%lld%s%s\n", now.tv_sec * 1'000'000'000LL + now.tv_nsec,
                               word ? " " : "", word ? word : "");
    if (write(log, line, size_t(length)) != length) return;
}

void LogPresent() { Log(); }

// The program's wait between running frames is 40 ms, through the C
// library's relative sleep; the host's waits for a vertical blank are
// absolute, and SDL's are short.
bool IsFrameWait(const timespec* wait) {
    const long long nanoseconds = wait ? wait->tv_sec * 1'000'000'000LL + wait->tv_nsec : 0;
    return nanoseconds >= 30'000'000 && nanoseconds <= 60'000'000;
}

template <typename Routine>
Routine Next(const char* name) {
    return reinterpret_cast<Routine>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void SDL_RenderPresent(SDL_Renderer* renderer) {
    static auto next = Next<void (*)(SDL_Renderer*)>("SDL_RenderPresent");
    next(renderer);
    LogPresent();
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
    static auto next = Next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
    int result = next(window);
    LogPresent();
    return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
    static auto next = Next<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
    int result = next(window, rects, count);
    LogPresent();
    return result;
}

// SDL and the libraries it uses flush the connection too: only the flushes
// called from the program's own code count.
int nanosleep(const timespec* wait, timespec* left) {
    static auto next = Next<int (*)(const timespec*, timespec*)>("nanosleep");
    if (IsFrameWait(wait)) Log("wait");
    return next(wait, left);
}

int clock_nanosleep(clockid_t clock, int flags, const timespec* wait, timespec* left) {
    static auto next = Next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
    if (!(flags & TIMER_ABSTIME) && IsFrameWait(wait)) Log("wait");
    return next(clock, flags, wait, left);
}

int wl_display_flush(wl_display* display) {
    static auto next = Next<int (*)(wl_display*)>("wl_display_flush");
    static const void* program = [] {
        Dl_info self = {};
        // The program's headers lie in its own image.
        return dladdr(reinterpret_cast<void*>(getauxval(AT_PHDR)), &self) ? self.dli_fbase : nullptr;
    }();
    Dl_info caller = {};
    const bool fromProgram = dladdr(__builtin_return_address(0), &caller) != 0 && caller.dli_fbase == program;
    int result = next(display);
    if (fromProgram) LogPresent();
    return result;
}
}
