#include "app/options.h"

#include <cstdio>
#include <cstring>

// The project's version, from CMakeLists.txt.
#ifndef RAVLIN_VERSION
#define RAVLIN_VERSION "unknown"
#endif

namespace {

constexpr int kRun = -1;
constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "Usage: ravlin [--help | --version]\n"
    "A full-screen animation: a pulsing glow above the screen's centre and three\n"
    "tilted rings of glowing balls. Releasing a key, or moving the mouse more than\n"
    "50 counts right or down, ends it; releasing F2 also writes the screen to\n"
    "ravlin.bmp in the current directory.\n"
    "\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n";

bool IsOption(const char* word) {
    return std::strcmp(word, "--help") == 0 || std::strcmp(word, "--version") == 0;
}

}  // namespace

int ProgramOptions(int argc, const char* const* argv) {
    if (argc <= 1) return kRun;
    const char* option = argv[1];
    if (argc == 2 && std::strcmp(option, "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(option, "--version") == 0) {
        std::puts("ravlin " RAVLIN_VERSION);
        return 0;
    }
    // The first word that is not a lone --help or --version.
    const char* word = IsOption(option) ? argv[2] : option;
    std::fprintf(stderr, "ravlin: %s '%s' (try ravlin --help)\n",
                 word[0] == '-' && !IsOption(word) ? "unknown option" : "unexpected argument", word);
    return kUsageError;
}
