// Writing CR LF framed lines to one connection, gathered into few sends.
#pragma once

#include <cstddef>

#include "net/net.h"
#include "relay/limits.h"

struct LineWriter {
    NetSocket sock;
    char batch[SEND_BATCH_SIZE];  // lines queued and not yet sent
    std::size_t used;
};

// Prepares writer to send lines to sock.
void startLineWriter(LineWriter* writer, NetSocket sock);

// Queues prefix and text as one line with CR LF, sending what is queued
// first when the batch is full. Negative when that send failed.
int queueLine(LineWriter* writer, const char* prefix, const char* text);

// Sends everything queued, continuing short sends. Negative on failure.
int flushLines(LineWriter* writer);

// Queues text as one line and sends it at once. Negative on failure.
int sendLine(LineWriter* writer, const char* text);

// Passes on bytes that are already whole CR LF lines, after what is queued:
// copied into the batch when they fit beside queued lines, else sent from
// where they stand once the batch is out. Negative on failure.
int passLines(LineWriter* writer, const char* lines, std::size_t length);
