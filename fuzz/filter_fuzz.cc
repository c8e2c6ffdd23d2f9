// Random lines through the filter: it must equal the pattern-by-pattern
// search, keep the length and the first character, write only '_', and
// change nothing more when run again. The same bytes as CR LF lines through
// filterLines must equal filterLine on each line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filter/filter.h"
#include "filter/reference_filter.h"
#include "relay/limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char line[LINE_BUFFER_SIZE];
    size_t length = size < sizeof line - 1 ? size : sizeof line - 1;
    std::memcpy(line, data, length);
    line[length] = '\0';
    length = std::strlen(line);
    char original[LINE_BUFFER_SIZE];
    std::memcpy(original, line, length + 1);
    char expected[LINE_BUFFER_SIZE];
    std::memcpy(expected, line, length + 1);

    filterLine(line);
    referenceFilterLine(expected);
    if (std::memcmp(line, expected, length + 1) != 0) {
        std::abort();
    }
    for (size_t i = 0; i < length; ++i) {
        if (line[i] != original[i] && (i == 0 || line[i] != '_')) {
            std::abort();
        }
    }
    char again[LINE_BUFFER_SIZE];
    std::memcpy(again, line, length + 1);
    filterLine(again);
    if (std::memcmp(again, line, length + 1) != 0) {
        std::abort();
    }

    std::string text;
    std::string eachLine;
    std::string current;
    for (size_t i = 0; i <= size; ++i) {
        char byte = i < size ? static_cast<char>(data[i]) : '\n';
        if (byte == '\n') {
            text += current + "\r\n";
            filterLine(&current[0]);
            eachLine += current + "\r\n";
            current.clear();
        } else if (byte != '\r' && byte != '\0') {
            current += byte;
        }
    }
    filterLines(&text[0], text.size());
    if (text != eachLine) {
        std::abort();
    }
    return 0;
}
