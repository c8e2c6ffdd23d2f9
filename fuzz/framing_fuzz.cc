// Random bytes sent in random chunks through a real socket pair: the lines
// read must equal a plain split of the bytes, with nothing lost or reordered.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "relay/line_reader.h"

namespace {

struct Line {
    std::string text;
    bool continued;
};

// CR dropped, LF ends a line, pieces of size - 1, no empty piece right after
// a cut, an unfinished last line kept.
std::vector<Line> referenceSplit(const std::string& bytes, size_t size) {
    std::vector<Line> lines;
    std::string current;
    bool afterCut = false;
    bool any = false;
    for (char byte : bytes) {
        if (byte == '\r') {
            continue;
        }
        if (byte == '\n') {
            if (!(afterCut && !any)) {
                lines.push_back({current, afterCut});
            }
            current.clear();
            afterCut = false;
            any = false;
            continue;
        }
        current += byte;
        any = true;
        if (current.size() == size - 1) {
            lines.push_back({current, afterCut});
            current.clear();
            afterCut = true;
            any = false;
        }
    }
    if (any) {
        lines.push_back({current, afterCut});
    }
    return lines;
}

}  // namespace

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
    std::vector<Line> lines;
    while (recvLine(&reader, buffer.data(), lineSize) != nullptr) {
        lines.push_back({std::string(buffer.data()), reader.continued});
    }
    writer.join();
    close(ends[0]);

    std::vector<Line> expected = referenceSplit(bytes, lineSize);
    if (lines.size() != expected.size()) {
        std::abort();
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        // A NUL is stored like any byte, and the line reads as ending there.
        std::string visible = expected[i].text.substr(0, expected[i].text.find('\0'));
        if (lines[i].text != visible || lines[i].continued != expected[i].continued) {
            std::abort();
        }
    }
    return 0;
}
