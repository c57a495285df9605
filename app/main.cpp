// The process entry: the runtime's start, then the program.
#include "app/program.h"
#include "runtime/lifecycle.h"

int main() {
    RuntimeStart();
    ProgramMain();
}
