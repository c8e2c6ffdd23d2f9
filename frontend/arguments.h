// The command line: remote host and port, optionally local host and port.
#pragma once

// Fills proxyConfig from the arguments; 0, or an error code from 1 to 5 after
// its message and the usage text have been printed.
int parseArguments(int count, char** vector);

// Prints the message for code and the usage text; returns code.
int printUsage(int code);
