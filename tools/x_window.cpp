// A bare X window for the end-to-end tests to hand ravlin, as a screen saver
// is handed one: `ravlin_x_window WIDTHxHEIGHT` makes it, black, at the
// screen's top-left corner, prints its id once it is shown, and keeps it
// until it is ended by a signal.
#include <X11/Xlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    unsigned width = 0;
    unsigned height = 0;
    if (argc != 2 || std::sscanf(argv[1], "%ux%u", &width, &height) != 2 || width == 0 || height == 0) {
        std::fprintf(stderr, "usage: ravlin_x_window WIDTHxHEIGHT\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "ravlin_x_window: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0, 0,
                                              BlackPixel(display, screen));
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event; XNextEvent(display, &event) == 0 && event.type != MapNotify;) {
    }
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    pause();
}
