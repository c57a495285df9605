// Loaded into the unchanged ravlin program with LD_PRELOAD by
// tools/program-bench: each present the SDL host makes (a renderer's present
// or an update of the window's framebuffer) appends the steady clock's time
// in nanoseconds, one line, to the file RAVLIN_PRESENT_LOG names. The line is
// written at once, since the program ends without running exit handlers.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void LogPresent() {
    static int log = [] {
        const char* path = std::getenv("RAVLIN_PRESENT_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    if (log < 0) return;
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[32];
    int length = std::snprintf(line, sizeof(line), "%lld\n", now.tv_sec * 1'000'000'000LL + now.tv_nsec);
    if (write(log, line, size_t(length)) != length) return;
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

}
