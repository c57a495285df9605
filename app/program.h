// The program's main routine: the screen at the primary desktop's size, the
// frame loop, and the end.
#pragma once

// Runs after RuntimeStart and ends the process through ProgramEnd.
[[noreturn]] void ProgramMain();
