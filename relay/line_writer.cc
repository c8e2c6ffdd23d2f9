#include "relay/line_writer.h"

#include <cstring>

void startLineWriter(LineWriter* writer, NetSocket sock) {
    writer->sock = sock;
    writer->used = 0;
}

int queueLine(LineWriter* writer, const char* prefix, const char* text) {
    std::size_t prefixLength = std::strlen(prefix);
    std::size_t textLength = std::strlen(text);
    std::size_t needed = prefixLength + textLength + 2;
    if (writer->used + needed > sizeof writer->batch && flushLines(writer) < 0) {
        return -1;
    }
    // Relayed lines are far shorter than a batch; anything else is refused, not overrun.
    if (needed > sizeof writer->batch) {
        return -1;
    }
    char* out = writer->batch + writer->used;
    std::memcpy(out, prefix, prefixLength);
    std::memcpy(out + prefixLength, text, textLength);
    std::memcpy(out + prefixLength + textLength, "\r\n", 2);
    writer->used += needed;
    return 0;
}

namespace {

// Sends all of data, continuing short sends. Negative on failure.
int sendAll(NetSocket sock, const char* data, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        long result = netSend(sock, data + sent, length - sent);
        if (result <= 0) {
            return -1;
        }
        sent += static_cast<std::size_t>(result);
    }
    return 0;
}

}  // namespace

int flushLines(LineWriter* writer) {
    if (sendAll(writer->sock, writer->batch, writer->used) < 0) {
        return -1;
    }
    writer->used = 0;
    return 0;
}

int passLines(LineWriter* writer, const char* lines, std::size_t length) {
    // Copied only to join what is queued into one send; alone they need no copy.
    if (writer->used > 0 && writer->used + length <= sizeof writer->batch) {
        std::memcpy(writer->batch + writer->used, lines, length);
        writer->used += length;
        return 0;
    }
    if (flushLines(writer) < 0) {
        return -1;
    }
    return sendAll(writer->sock, lines, length);
}

int sendLine(LineWriter* writer, const char* text) {
    if (queueLine(writer, "", text) < 0) {
        return -1;
    }
    return flushLines(writer);
}
