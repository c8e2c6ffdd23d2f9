#include "relay/line_reader.h"

#include <cstdio>
#include <cstring>

namespace {

// Moves the unread bytes to the front and receives after them; false when
// the connection ended.
bool refill(LineReader* reader) {
    std::size_t unread = reader->end - reader->start;
    std::memmove(reader->pending, reader->pending + reader->start, unread);
    reader->start = 0;
    reader->end = unread;
    long got = netRecv(reader->sock, reader->pending + unread, sizeof reader->pending - unread);
    if (got <= 0) {
        if (got < 0) {
            std::printf("Error in recvLine()\n");
        }
        reader->ended = true;
        return false;
    }
    reader->end += static_cast<std::size_t>(got);
    return true;
}

// The start of the line that holds position at, at or after first.
const char* lineStartOf(const char* first, const char* at) {
    while (at > first && at[-1] != '\n') {
        --at;
    }
    return at;
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

char* takePlainLines(LineReader* reader, std::size_t size, std::size_t* length) {
    char* first = reader->pending + reader->start;
    const char* stop = reader->pending + reader->end;
    const char* next = first;
    while (!reader->cut && next < stop && *next != '.') {
        const char* lf = static_cast<const char*>(std::memchr(next, '\n', stop - next));
        if (lf == nullptr || lf == next || lf[-1] != '\r') {
            break;
        }
        std::size_t characters = static_cast<std::size_t>(lf - 1 - next);
        if (characters > size - 1 || std::memchr(next, '\r', characters) != nullptr) {
            break;
        }
        next = lf + 1;
    }
    // A NUL is rare: one search over all the lines costs less than one per line.
    const char* nul = static_cast<const char*>(std::memchr(first, '\0', next - first));
    if (nul != nullptr) {
        next = lineStartOf(first, nul);
    }
    *length = static_cast<std::size_t>(next - first);
    reader->start += *length;
    return first;
}

bool receiveMore(LineReader* reader, std::size_t size) {
    return reader->end - reader->start < size && !reader->ended && refill(reader);
}
