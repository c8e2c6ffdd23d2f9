#include "relay/command_table.h"

#include <cstddef>

namespace {

// A class of 0 means: multi-line bare, single-line with an argument.
const int RESP_BY_ARGUMENT = 0;

struct Command {
    const char* keyword;
    int responseClass;
};

const Command COMMANDS[] = {
    {"QUIT", RESP_SINGLE}, {"APOP", RESP_SINGLE},      {"USER", RESP_SINGLE},
    {"PASS", RESP_SINGLE}, {"STAT", RESP_SINGLE},      {"DELE", RESP_SINGLE},
    {"NOOP", RESP_SINGLE}, {"RSET", RESP_SINGLE},      {"RETR", RESP_MULTI_FILTERED},
    {"TOP", RESP_MULTI},   {"LIST", RESP_BY_ARGUMENT}, {"UIDL", RESP_BY_ARGUMENT},
};

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The length of the keyword when the line starts with it, else 0.
std::size_t keywordLength(const char* line, const char* keyword) {
    std::size_t i = 0;
    for (; keyword[i] != '\0'; ++i) {
        if (upperAscii(line[i]) != keyword[i]) {
            return 0;
        }
    }
    return i;
}

// Only a non-blank argument makes LIST or UIDL single-line: a server answers
// "LIST " with its whole listing.
bool hasArgument(const char* rest) {
    for (; *rest != '\0'; ++rest) {
        if (*rest != ' ' && *rest != '\t') {
            return true;
        }
    }
    return false;
}

}  // namespace

int classifyCommand(const char* line) {
    for (const Command& command : COMMANDS) {
        std::size_t length = keywordLength(line, command.keyword);
        if (length == 0) {
            continue;
        }
        if (command.responseClass != RESP_BY_ARGUMENT) {
            return command.responseClass;
        }
        return hasArgument(line + length) ? RESP_SINGLE : RESP_MULTI;
    }
    return CMD_UNKNOWN;
}
