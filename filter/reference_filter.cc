#include "filter/reference_filter.h"

#include <cstring>

#include "filter/filter.h"

namespace {

const int SHADOW_SIZE = 2048;

}  // namespace

void neutraliseTag(char* line, char* shadow, const char* pattern) {
    for (char* hit; (hit = std::strstr(shadow, pattern));) {
        int k = static_cast<int>(hit - shadow);
        shadow[k + 1] = '_';
        line[k + 1] = '_';
    }
}

void neutraliseExtension(char* line, char* shadow, int from, const char* extension) {
    for (char* hit = shadow + from; (hit = std::strstr(hit, extension));) {
        int k = static_cast<int>(hit - shadow);
        shadow[k] = '_';
        line[k] = '_';
    }
}

void referenceFilterLine(char* line) {
    char shadow[SHADOW_SIZE];
    int length = 0;
    for (; line[length] != '\0' && length < SHADOW_SIZE - 1; ++length) {
        char c = line[length];
        shadow[length] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    shadow[length] = '\0';
    for (std::size_t i = 0; i < TAG_PATTERN_COUNT; ++i) {
        neutraliseTag(line, shadow, TAG_PATTERNS[i]);
    }
    const char* anchor = std::strstr(shadow, NAME_ANCHOR);
    if (anchor == nullptr) {
        return;
    }
    int from = static_cast<int>(anchor - shadow) + static_cast<int>(std::strlen(NAME_ANCHOR));
    for (std::size_t i = 0; i < EXTENSION_PATTERN_COUNT; ++i) {
        neutraliseExtension(line, shadow, from, EXTENSION_PATTERNS[i]);
    }
}
