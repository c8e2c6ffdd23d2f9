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

// The position right after the first NAME_ANCHOR at or after from, or null.
// Every occurrence ends in its own "=", so the first "=" preceded by NAME is
// the first anchor; NAME holds no line end, so it never reaches back across one.
char* findAnchorEnd(char* text, char* from, char* end) {
    const std::size_t nameLength = sizeof NAME_ANCHOR - 2;
    for (char* equals = from; (equals = static_cast<char*>(std::memchr(equals, '=', end - equals)));
         ++equals) {
        if (equals - text >= static_cast<std::ptrdiff_t>(nameLength)) {
            char* start = equals - nameLength;
            if (matchesAt(start, NAME_ANCHOR)) {
                return equals + 1;
            }
        }
    }
    return nullptr;
}

// Filters text made of lines that each end in lineEnd, the last one perhaps
// at end. No pattern holds a CR, LF or NUL, so a match never runs past the CR
// LF or NUL that ends a line, and every "<" can be judged across all the
// lines in one search.
void filterText(char* text, char* end, char lineEnd) {
    for (char* open = text; (open = static_cast<char*>(std::memchr(open, '<', end - open)));
         ++open) {
        if (matchesAny(open, TAG_PATTERNS, TAG_PATTERN_COUNT)) {
            open[1] = '_';
        }
    }
    // Only a line's first anchor starts its extension search, so the next
    // anchor is sought from the end of that line.
    for (char* from = text; (from = findAnchorEnd(text, from, end)) != nullptr;) {
        char* lineStop = static_cast<char*>(std::memchr(from, lineEnd, end - from));
        if (lineStop == nullptr) {
            lineStop = end;
        }
        for (char* stop = from;
             (stop = static_cast<char*>(std::memchr(stop, '.', lineStop - stop))); ++stop) {
            if (matchesAny(stop, EXTENSION_PATTERNS, EXTENSION_PATTERN_COUNT)) {
                *stop = '_';
            }
        }
        from = lineStop;
    }
}

}  // namespace

// A line ends at its NUL: any LF in it is an ordinary character.
void filterLine(char* line) {
    filterText(line, line + std::strlen(line), '\0');
}

void filterLines(char* text, std::size_t length) {
    filterText(text, text + length, '\n');
}
