// The POP3 commands let through to the server, and how each one's response is relayed.
#pragma once

// A status line, then a multi-line body whose lines are filtered.
const int RESP_MULTI_FILTERED = 1;
// A status line, then a multi-line body relayed unchanged.
const int RESP_MULTI = 2;
// A status line only.
const int RESP_SINGLE = 3;
// Not let through; the relay answers the client itself.
const int CMD_UNKNOWN = 255;

// The response class of a client line, by its leading keyword, letter case aside.
int classifyCommand(const char* line);
