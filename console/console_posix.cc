// The console on POSIX systems.
#include <cstdio>

#include "console/console.h"

// Unbuffered also into a file or a pipe: the process only ends by being
// killed, and a buffered trace would be lost with it.
void consoleStart() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}
