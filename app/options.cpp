#include "app/options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// The project's version, from CMakeLists.txt.
#ifndef RAVLIN_VERSION
#define RAVLIN_VERSION "unknown"
#endif

namespace {

constexpr int kRun = -1;
constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "Usage: ravlin [--help | --version | --root | --window-id ID]\n"
    "A full-screen animation: a pulsing glow above the screen's centre and three\n"
    "tilted rings of glowing balls. Releasing a key, or moving the mouse more than\n"
    "50 counts right or down, ends it; releasing F2 also writes the screen to\n"
    "ravlin.bmp in the current directory.\n"
    "\n"
    "  --help          print this and exit\n"
    "  --version       print the version and exit\n"
    "  --root          draw in the screen's root window, or in XSCREENSAVER_WINDOW's\n"
    "  --window-id ID  draw in the X window ID (hex as 0x..., or decimal)\n"
    "\n"
    "In a window, as XScreenSaver runs it (also where only XSCREENSAVER_WINDOW is\n"
    "set), keys and the mouse do nothing; SIGTERM or SIGINT, or the window's\n"
    "going, ends it with 0. To add it to XScreenSaver's list, install the package\n"
    "(it adds the hack) or add the line \"ravlin --root\" to the programs in\n"
    "~/.xscreensaver.\n";

bool IsOption(const char* word) {
    for (const char* option : {"--help", "--version", "--root", "--window-id"}) {
        if (std::strcmp(word, option) == 0) return true;
    }
    return false;
}

int UsageError(const char* what, const char* word) {
    std::fprintf(stderr, "ravlin: %s '%s' (try ravlin --help)\n", what, word);
    return kUsageError;
}

// An X window's id: a number from 1 to 2^32 - 1, in hex (0x...) or decimal.
bool ParseWindowId(const char* text, uint64_t* window) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 0);
    const bool number = *text >= '0' && *text <= '9' && *end == 0 && errno == 0;
    *window = value;
    return number && value > 0 && value <= 0xFFFFFFFFull;
}

// XScreenSaver names the window a hack is to draw in so; where it is not
// set, --root means the root window.
int WindowOfScreenSaver(bool root, ProgramTarget* target) {
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (!named || !*named) {
        target->inWindow = root;
        return kRun;
    }
    if (!ParseWindowId(named, &target->window)) return UsageError("XSCREENSAVER_WINDOW is not a window's id", named);
    target->inWindow = true;
    return kRun;
}

}  // namespace

int ProgramOptions(int argc, const char* const* argv, ProgramTarget* target) {
    *target = {};
    if (argc <= 1) return WindowOfScreenSaver(false, target);
    const char* option = argv[1];
    if (argc == 2 && std::strcmp(option, "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(option, "--version") == 0) {
        std::puts("ravlin " RAVLIN_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(option, "--root") == 0) return WindowOfScreenSaver(true, target);
    if (std::strcmp(option, "--window-id") == 0 && argc <= 3) {
        if (argc == 2) return UsageError("a window's id must follow", option);
        if (!ParseWindowId(argv[2], &target->window)) return UsageError("not a window's id", argv[2]);
        target->inWindow = true;
        return kRun;
    }
    // The first word that is not an option in its place.
    const char* word = !IsOption(option) ? option : std::strcmp(option, "--window-id") == 0 ? argv[3] : argv[2];
    return UsageError(word[0] == '-' && !IsOption(word) ? "unknown option" : "unexpected argument", word);
}

ScreenSaverCall ScreenSaverOptions(const char* commandLine, uint64_t* window) {
    *window = 0;
    const char* at = commandLine ? commandLine : "";
    while (*at == ' ' || *at == '\t') ++at;
    if (!*at) return ScreenSaverCall::Settings;
    if (*at != '/' && *at != '-') return ScreenSaverCall::Unknown;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(at[1])));
    at += at[1] ? 2 : 1;
    if (*at == ':') ++at;
    while (*at == ' ' || *at == '\t') ++at;
    const bool numbered = *at >= '0' && *at <= '9';
    char* end = const_cast<char*>(at);
    if (numbered) *window = std::strtoull(at, &end, 10);
    while (*end == ' ' || *end == '\t') ++end;
    if (*end || (numbered && *window == 0)) return ScreenSaverCall::Unknown;
    if (letter == 's' && !numbered) return ScreenSaverCall::Run;
    if (letter == 'p' && numbered) return ScreenSaverCall::Preview;
    if (letter == 'c') return ScreenSaverCall::Settings;
    return ScreenSaverCall::Unknown;
}
