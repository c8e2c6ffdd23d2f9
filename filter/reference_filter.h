// A straightforward filter that searches pattern by pattern in an upper-case
// shadow of the line; the yardstick that the one-pass filter must equal.
#pragma once

// Defuses every occurrence of one tag pattern, searching from the start each time.
void neutraliseTag(char* line, char* shadow, const char* pattern);

// Defuses every occurrence of one extension at or after position from.
void neutraliseExtension(char* line, char* shadow, int from, const char* extension);

// The whole filter built from the two loops above; same contract as filterLine.
void referenceFilterLine(char* line);
