#include "relay/command_table.h"

#include <gtest/gtest.h>

namespace {

struct CommandCase {
    const char* line;
    int expected;
};

const CommandCase COMMAND_CASES[] = {
    {"QUIT", RESP_SINGLE},
    {"quit", RESP_SINGLE},
    {"QUITNOW", RESP_SINGLE},
    {"APOP alice 0123", RESP_SINGLE},
    {"user alice", RESP_SINGLE},
    {"PASS secret", RESP_SINGLE},
    {"Stat", RESP_SINGLE},
    {"DELE 1", RESP_SINGLE},
    {"NOOP", RESP_SINGLE},
    {"RSET", RESP_SINGLE},
    {"RETR 1", RESP_MULTI_FILTERED},
    {"retr 1", RESP_MULTI_FILTERED},
    {"TOP 1 10", RESP_MULTI},
    {"TOPS", RESP_MULTI},
    {"LIST", RESP_MULTI},
    {"list", RESP_MULTI},
    {"LIST ", RESP_MULTI},
    {"LIST \t ", RESP_MULTI},
    {"LIST 2", RESP_SINGLE},
    {"LISTX", RESP_SINGLE},
    {"UIDL", RESP_MULTI},
    {"UIDL  ", RESP_MULTI},
    {"UIDL 1", RESP_SINGLE},
    {"CAPA", CMD_UNKNOWN},
    {"capa", CMD_UNKNOWN},
    {"STLS", CMD_UNKNOWN},
    {"AUTH PLAIN", CMD_UNKNOWN},
    {"", CMD_UNKNOWN},
    {"QUI", CMD_UNKNOWN},
    {"TO", CMD_UNKNOWN},
    {" QUIT", CMD_UNKNOWN},
    {"Q\xd5IT", CMD_UNKNOWN},
};

TEST(ClassifyCommand, FollowsTheCommandTable) {
    for (const CommandCase& c : COMMAND_CASES) {
        EXPECT_EQ(classifyCommand(c.line), c.expected) << "line: \"" << c.line << "\"";
    }
}

}  // namespace
