// The console on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "console/console.h"

namespace {

// A closed standard descriptor would be handed to the next socket, and the
// trace, passwords included, written into a client's connection.
bool fillClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0) {
            continue;
        }
        // The lowest free descriptor is the closed one.
        int filler = open("/dev/null", O_RDWR);
        if (filler != fd) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool consoleStart() {
    if (!fillClosedStandardDescriptors()) {
        return false;
    }
    // A console whose reader has gone loses the message; the relay serves on.
    signal(SIGPIPE, SIG_IGN);
    // Unbuffered also into a file or a pipe: the process only ends by being
    // killed, and a buffered trace would be lost with it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}
