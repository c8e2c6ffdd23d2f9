// A plain byte-by-byte statement of how the relay frames lines, for the fuzz
// targets to hold the real reader and session against.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ReferenceLine {
    std::string text;    // CRs dropped; may hold a NUL
    bool continued;      // continues a line cut at the buffer size
    bool startsWithDot;  // its first byte as received was "."
};

// CR dropped, LF ends a line, pieces of size - 1, no empty piece right after
// a cut, an unfinished last line kept.
inline std::vector<ReferenceLine> referenceSplit(const std::string& bytes, std::size_t size) {
    std::vector<ReferenceLine> lines;
    std::string current;
    bool afterCut = false;
    bool any = false;
    bool started = false;
    char first = 0;
    for (char byte : bytes) {
        if (!started) {
            first = byte;
            started = true;
        }
        if (byte == '\r') {
            continue;
        }
        if (byte == '\n') {
            if (!(afterCut && !any)) {
                lines.push_back({current, afterCut, first == '.'});
            }
            current.clear();
            afterCut = false;
            any = false;
            started = false;
            continue;
        }
        current += byte;
        any = true;
        if (current.size() == size - 1) {
            lines.push_back({current, afterCut, first == '.'});
            current.clear();
            afterCut = true;
            any = false;
            started = false;
        }
    }
    if (any) {
        lines.push_back({current, afterCut, first == '.'});
    }
    return lines;
}

// What a line reads as: everything up to its first NUL.
inline std::string visibleText(const std::string& text) {
    return text.substr(0, text.find('\0'));
}
