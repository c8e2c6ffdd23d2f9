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

int flushLines(LineWriter* writer) {
    std::size_t sent = 0;
    while (sent < writer->used) {
        long result = netSend(writer->sock, writer->batch + sent, writer->used - sent);
        if (result <= 0) {
            return -1;
        }
        sent += static_cast<std::size_t>(result);
    }
    writer->used = 0;
    return 0;
}

int sendLine(LineWriter* writer, const char* text) {
    if (queueLine(writer, "", text) < 0) {
        return -1;
    }
    return flushLines(writer);
}
