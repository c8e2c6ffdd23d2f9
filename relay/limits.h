// Every fixed size of the relay, with its reason.
#pragma once

#include <cstddef>

// One line as held inside the program: 2047 characters and the NUL; a longer
// line travels in pieces of this size.
const std::size_t LINE_BUFFER_SIZE = 2048;

// Bytes taken from a socket per receive; large enough that a multi-megabyte
// body costs few system calls, small enough to keep a session's memory flat.
const std::size_t READ_AHEAD_SIZE = 64 * 1024;

// Bytes of relayed lines gathered into one send; the same reasoning as above.
const std::size_t SEND_BATCH_SIZE = 64 * 1024;

// Clients waiting while one session runs; more are refused by the system.
const int LISTEN_BACKLOG = 5;
