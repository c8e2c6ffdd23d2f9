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
