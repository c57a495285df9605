// The process entry: the runtime's start, then the program.
#include "app/program.h"
#include "core/runtime.h"

int main() {
    RuntimeStart();
    ProgramMain();
}
