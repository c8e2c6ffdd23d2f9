// One pass over the line: a write never makes or breaks a match of another
// pattern at another place, so each "<" and each full stop can be judged on
// its own, in any order, with the same result as searching pattern by pattern.
#include "filter/filter.h"

#include <cstring>

const char* const TAG_PATTERNS[] = {
    "<IFRAME",     "<FRAME",    "<FRAMESET", "<IMG",      "<LINK",     "<SCRIPT",
    "<EMBED",      "<OBJECT",   "<APPLET",   "<BGSOUND",  "</IFRAME>", "</FRAME>",
    "</FRAMESET>", "</SCRIPT>", "</EMBED>",  "</OBJECT>", "</APPLET>",
};
const std::size_t TAG_PATTERN_COUNT = sizeof TAG_PATTERNS / sizeof TAG_PATTERNS[0];

const char NAME_ANCHOR[] = "NAME=";

const char* const EXTENSION_PATTERNS[] = {
    ".EXE", ".COM", ".SCR", ".PIF", ".LNK", ".DLL", ".CPL", ".BAT", ".CMD", ".JS", ".VBS",
};
const std::size_t EXTENSION_PATTERN_COUNT =
    sizeof EXTENSION_PATTERNS / sizeof EXTENSION_PATTERNS[0];

namespace {

// Only a to z change; bytes from 128 up stay as they are.
inline unsigned char upperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// True when the upper-case pattern stands at text; the text's NUL never matches.
bool matchesAt(const char* text, const char* pattern) {
    for (; *pattern != '\0'; ++pattern, ++text) {
        if (upperAscii(static_cast<unsigned char>(*text)) != static_cast<unsigned char>(*pattern)) {
            return false;
        }
    }
    return true;
}

bool matchesAny(const char* text, const char* const* patterns, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (matchesAt(text, patterns[i])) {
            return true;
        }
    }
    return false;
}

// The position right after the first NAME_ANCHOR, or null. Every occurrence
// ends in its own "=", so the first "=" preceded by NAME is the first anchor.
char* findAnchorEnd(char* line, char* end) {
    const std::size_t nameLength = sizeof NAME_ANCHOR - 2;
    for (char* equals = line; (equals = static_cast<char*>(std::memchr(equals, '=', end - equals)));
         ++equals) {
        if (equals - line >= static_cast<std::ptrdiff_t>(nameLength)) {
            char* start = equals - nameLength;
            if (matchesAt(start, NAME_ANCHOR)) {
                return equals + 1;
            }
        }
    }
    return nullptr;
}

}  // namespace

void filterLine(char* line) {
    char* end = line + std::strlen(line);
    for (char* open = line; (open = static_cast<char*>(std::memchr(open, '<', end - open)));
         ++open) {
        if (matchesAny(open, TAG_PATTERNS, TAG_PATTERN_COUNT)) {
            open[1] = '_';
        }
    }
    char* from = findAnchorEnd(line, end);
    if (from == nullptr) {
        return;
    }
    for (char* stop = from; (stop = static_cast<char*>(std::memchr(stop, '.', end - stop)));
         ++stop) {
        if (matchesAny(stop, EXTENSION_PATTERNS, EXTENSION_PATTERN_COUNT)) {
            *stop = '_';
        }
    }
}
