// Reading CR LF framed lines from one connection through a read-ahead buffer.
#pragma once

#include <cstddef>

#include "net/net.h"
#include "relay/limits.h"

struct LineReader {
    NetSocket sock;
    char pending[READ_AHEAD_SIZE];  // received bytes not yet returned as lines
    std::size_t start;              // first unread byte in pending
    std::size_t end;                // one past the last received byte
    bool ended;                     // the peer closed or the receive failed
    bool cut;                       // the last line returned was cut at the buffer size
    bool continued;                 // the last line returned continues a cut line
    bool startsWithDot;             // the last line returned began with "." as received
};

// Prepares reader to read lines from sock.
void startLineReader(LineReader* reader, NetSocket sock);

// Reads the next line into buffer, CR dropped wherever it stands, LF ending
// it, at most size - 1 characters (the rest comes with the next call, with
// continued set); a line end right after a cut ends the cut line and yields
// no empty line. Records whether its first byte as received, before any CR was
// dropped, was ".". Prints "Error in recvLine()\n" on a receive error. Returns
// buffer, or null when the connection ended before any character.
char* recvLine(LineReader* reader, char* buffer, std::size_t size);

// True when a whole line (or piece of size - 1 characters) can be returned
// without waiting on the network.
bool lineBuffered(const LineReader* reader, std::size_t size);

// Takes the whole lines at the front of what has been received that framing
// for a buffer of size passes on byte for byte: each ends in CR LF, holds no
// other CR and no NUL, has at most size - 1 characters, does not begin with
// "." and does not continue a cut line. Returns where they stand in the
// read-ahead buffer (valid until the next read) and sets *length to their
// bytes' count, 0 when the next line is not such a line.
char* takePlainLines(LineReader* reader, std::size_t size, std::size_t* length);

// When fewer than size bytes are unread, receives more after them, moving
// them to the front of the buffer so that a line that has begun can still be
// taken whole. False when more were unread, or when the connection ended
// (after printing "Error in recvLine()\n" on a receive error).
bool receiveMore(LineReader* reader, std::size_t size);
