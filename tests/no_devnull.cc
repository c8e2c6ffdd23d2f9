// Links the program with an open() that finds no /dev/null.
#include <cerrno>

extern "C" int __wrap_open(const char*, int, ...) {
    errno = ENOENT;
    return -1;
}
