// For the writer tests: what the far end of a socket pair received.
#pragma once

#include <unistd.h>

#include <string>

// Everything read from sock until its peer closes.
inline std::string readUntilClosed(int sock) {
    std::string all;
    char chunk[4096];
    for (ssize_t got; (got = read(sock, chunk, sizeof chunk)) > 0;) {
        all.append(chunk, static_cast<std::size_t>(got));
    }
    return all;
}
