// The message line filter: defuses, in place, HTML elements that load or run
// content and attachment names with an executable extension.
#pragma once

#include <cstddef>

// Opening and closing forms of the elements to defuse, upper case; a hit has
// the character after its "<" overwritten.
extern const char* const TAG_PATTERNS[];
extern const std::size_t TAG_PATTERN_COUNT;

// The parameter after which attachment names are checked, upper case.
extern const char NAME_ANCHOR[];

// Executable extensions, upper case; a hit after the anchor has its full stop overwritten.
extern const char* const EXTENSION_PATTERNS[];
extern const std::size_t EXTENSION_PATTERN_COUNT;

// Overwrites with '_' the character after the "<" of every tag pattern and,
// after the line's first NAME_ANCHOR, the full stop of every extension
// pattern; letter case aside, length kept. line is NUL-terminated.
void filterLine(char* line);

// filterLine for each of the whole lines in text: each ends in CR LF and
// holds no other CR and no NUL.
void filterLines(char* text, std::size_t length);
