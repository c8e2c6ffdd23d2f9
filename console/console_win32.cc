// The console on Windows.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "console/console.h"

// Binary mode keeps "\r\n" from becoming "\r\r\n"; unbuffered because the
// process only ends by being killed, and a buffered trace would be lost.
void consoleStart() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}
