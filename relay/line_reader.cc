#include "relay/line_reader.h"

#include <cstdio>
#include <cstring>

namespace {

// Refills the empty read-ahead buffer; false when the connection ended.
bool refill(LineReader* reader) {
    long got = netRecv(reader->sock, reader->pending, sizeof reader->pending);
    if (got <= 0) {
        if (got < 0) {
            std::printf("Error in recvLine()\n");
        }
        reader->ended = true;
        return false;
    }
    reader->start = 0;
    reader->end = static_cast<std::size_t>(got);
    return true;
}

// Copies bytes from [from, stop) into the line, dropping CRs, until the line
// is full; returns where copying stopped.
const char* copyDroppingCr(const char* from, const char* stop, char* line, std::size_t* count,
                           std::size_t limit) {
    while (from < stop && *count < limit) {
        const char* cr = static_cast<const char*>(std::memchr(from, '\r', stop - from));
        const char* runEnd = cr != nullptr ? cr : stop;
        std::size_t run = static_cast<std::size_t>(runEnd - from);
        if (run > limit - *count) {
            run = limit - *count;
        }
        std::memcpy(line + *count, from, run);
        *count += run;
        from += run;
        // A CR met with the line full belongs to what comes next.
        if (from == cr && *count < limit) {
            ++from;
        }
    }
    return from;
}

}  // namespace

void startLineReader(LineReader* reader, NetSocket sock) {
    reader->sock = sock;
    reader->start = 0;
    reader->end = 0;
    reader->ended = false;
    reader->cut = false;
    reader->continued = false;
    reader->startsWithDot = false;
}

char* recvLine(LineReader* reader, char* buffer, std::size_t size) {
    std::size_t count = 0;
    bool afterCut = reader->cut;
    bool complete = false;
    bool firstSeen = false;
    while (!complete && count < size - 1) {
        if (reader->start == reader->end && (reader->ended || !refill(reader))) {
            break;
        }
        const char* from = reader->pending + reader->start;
        const char* stop = reader->pending + reader->end;
        if (!firstSeen) {
            reader->startsWithDot = *from == '.';
            firstSeen = true;
        }
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', stop - from));
        const char* reached =
            copyDroppingCr(from, lf != nullptr ? lf : stop, buffer, &count, size - 1);
        reader->start = static_cast<std::size_t>(reached - reader->pending);
        if (reached == lf) {
            ++reader->start;
            // The line end of a line that was just cut closes it, not a new empty line.
            if (count == 0 && afterCut) {
                afterCut = false;
                firstSeen = false;
                continue;
            }
            complete = true;
        }
    }
    buffer[count] = '\0';
    if (count == 0 && !complete) {
        reader->cut = false;
        return nullptr;
    }
    reader->continued = afterCut;
    reader->cut = !complete && count == size - 1;
    return buffer;
}

bool lineBuffered(const LineReader* reader, std::size_t size) {
    const char* next = reader->pending + reader->start;
    const char* stop = reader->pending + reader->end;
    if (reader->cut) {
        // The line end that closes a cut line yields no line of its own.
        while (next < stop && *next == '\r') {
            ++next;
        }
        if (next < stop && *next == '\n') {
            ++next;
        }
    }
    if (std::memchr(next, '\n', stop - next) != nullptr) {
        return true;
    }
    std::size_t characters = 0;
    for (; next < stop && characters < size - 1; ++next) {
        characters += *next != '\r';
    }
    return characters == size - 1;
}
