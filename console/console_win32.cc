// The console on Windows.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "console/console.h"

// Binary mode keeps "\r\n" from becoming "\r\r\n"; unbuffered because the
// process only ends by being killed, and a buffered trace would be lost.
// Sockets never take the console's handles here, and a failed console write
// raises no signal.
bool consoleStart() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}
