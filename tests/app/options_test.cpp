// The command lines of a screen saver: XScreenSaver's hack options on Linux,
// and what Windows gives ravlin.scr.
#include "app/options.h"

#include <gtest/gtest.h>
#include <stdlib.h>

TEST(ProgramOptions, NameTheWindowToDrawInOrTheFullScreen) {
    struct Case {
        std::vector<const char*> words;
        const char* variable;  // XSCREENSAVER_WINDOW, or null for none
        int code;
        bool inWindow;
        uint64_t window;
    } cases[] = {
        {{"ravlin"}, nullptr, -1, false, 0},
        {{"ravlin"}, "0x1e00007", -1, true, 0x1e00007},
        {{"ravlin"}, "window", 2, false, 0},
        {{"ravlin", "--root"}, nullptr, -1, true, 0},
        {{"ravlin", "--root"}, "31457287", -1, true, 31457287},
        {{"ravlin", "--window-id", "0x2a"}, "7", -1, true, 42},
        {{"ravlin", "--window-id", "0"}, nullptr, 2, false, 0},
        {{"ravlin", "--window-id", "0x100000000"}, nullptr, 2, false, 0},
        {{"ravlin", "--window-id", "-5"}, nullptr, 2, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.words) + (c.variable ? c.variable : ""));
        c.variable ? setenv("XSCREENSAVER_WINDOW", c.variable, 1) : unsetenv("XSCREENSAVER_WINDOW");
        ProgramTarget target;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ProgramOptions(int(c.words.size()), c.words.data(), &target), c.code);
        EXPECT_EQ(testing::internal::GetCapturedStderr().empty(), c.code != 2);
        EXPECT_EQ(target.inWindow, c.inWindow);
        EXPECT_EQ(target.window, c.inWindow ? c.window : target.window);
    }
    unsetenv("XSCREENSAVER_WINDOW");
}

TEST(ScreenSaverOptions, AreWhatWindowsPassesInAnyCaseWithSlashOrDash) {
    struct Case {
        const char* line;
        ScreenSaverCall call;
        uint64_t window;
    } cases[] = {
        {"", ScreenSaverCall::Settings, 0},
        {"/c", ScreenSaverCall::Settings, 0},
        {"/c:1234", ScreenSaverCall::Settings, 1234},
        {"-C 77", ScreenSaverCall::Settings, 77},
        {"/s", ScreenSaverCall::Run, 0},
        {" /S ", ScreenSaverCall::Run, 0},
        {"/p 4242", ScreenSaverCall::Preview, 4242},
        {"-P:12", ScreenSaverCall::Preview, 12},
        {"/p", ScreenSaverCall::Unknown, 0},
        {"/p 0", ScreenSaverCall::Unknown, 0},
        {"/s 5", ScreenSaverCall::Unknown, 5},
        {"/p 12x", ScreenSaverCall::Unknown, 12},
        {"/x", ScreenSaverCall::Unknown, 0},
        {"s", ScreenSaverCall::Unknown, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        uint64_t window = 99;
        EXPECT_EQ(ScreenSaverOptions(c.line, &window), c.call);
        EXPECT_EQ(window, c.window);
    }
}
