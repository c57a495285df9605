// The program's command line, on the builds whose entry acts on it (app/main.cpp).
#pragma once

// Handles the options before anything else starts: --help and --version
// print to standard output, anything else is an error of one line on
// standard error. Returns the exit code to end with, or -1 when there is no
// option and the program is to run.
int ProgramOptions(int argc, const char* const* argv);
