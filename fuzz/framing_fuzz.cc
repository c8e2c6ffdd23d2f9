// Random bytes sent in random chunks through a real socket pair: the lines
// read must equal a plain split of the bytes, with nothing lost or reordered,
// both line by line and when whole lines are taken straight from the buffer
// as a body is relayed.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/reference_framing.h"
#include "relay/line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the line size, the second the chunk sizes.
    size_t lineSize = data[0] % 2 == 0 ? LINE_BUFFER_SIZE : 2 + data[0] % 16;
    unsigned chunkSeed = data[1];
    std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
        std::abort();
    }
    std::thread writer([&] {
        size_t sent = 0;
        unsigned state = chunkSeed;
        while (sent < bytes.size()) {
            state = state * 1103515245u + 12345u;
            size_t chunk = 1 + (state >> 16) % 64;
            if (chunk > bytes.size() - sent) {
                chunk = bytes.size() - sent;
            }
            if (write(ends[1], bytes.data() + sent, chunk) != static_cast<ssize_t>(chunk)) {
                std::abort();
            }
            sent += chunk;
        }
        close(ends[1]);
    });

    static LineReader reader;
    startLineReader(&reader, ends[0]);
    std::vector<char> buffer(lineSize);
    std::vector<ReferenceLine> lines;
    bool takePlain = chunkSeed % 2 == 1;
    for (;;) {
        if (takePlain) {
            std::size_t length;
            const char* plain = takePlainLines(&reader, lineSize, &length);
            // Taken lines pass on as they are: never continued, never stuffed.
            for (std::size_t at = 0; at < length;) {
                const char* lf =
                    static_cast<const char*>(std::memchr(plain + at, '\n', length - at));
                std::size_t lineLength = static_cast<std::size_t>(lf - (plain + at));
                lines.push_back({std::string(plain + at, lineLength - 1), false, false});
                at += lineLength + 1;
            }
            if (!lineBuffered(&reader, lineSize) && receiveMore(&reader, lineSize)) {
                continue;
            }
        }
        if (recvLine(&reader, buffer.data(), lineSize) == nullptr) {
            break;
        }
        lines.push_back({std::string(buffer.data()), reader.continued, reader.startsWithDot});
    }
    writer.join();
    close(ends[0]);

    std::vector<ReferenceLine> expected = referenceSplit(bytes, lineSize);
    if (lines.size() != expected.size()) {
        std::abort();
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        // A NUL is stored like any byte, and the line reads as ending there.
        if (lines[i].text != visibleText(expected[i].text) ||
            lines[i].continued != expected[i].continued ||
            lines[i].startsWithDot != expected[i].startsWithDot) {
            std::abort();
        }
    }
    return 0;
}
