#include "frontend/arguments.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "net/net.h"
#include "relay/proxy_config.h"

namespace {

const int ERR_PARAMETER_COUNT = 1;
const int ERR_REMOTE_HOST = 2;
const int ERR_REMOTE_PORT = 3;
const int ERR_LOCAL_HOST = 4;
const int ERR_LOCAL_PORT = 5;

const char* const ERROR_MESSAGES[] = {
    "",
    "Error: Incorrect number of parameters.\n\n",
    "Error: Could not resolve remote hostname.\n\n",
    "Error: Invalid remote port (NaN).\n\n",
    "Error: Could not resolve local hostname.\n\n",
    "Error: Invalid local port (NaN).\n\n",
};

const int DEFAULT_LOCAL_PORT = 110;

bool startsWithDigit(const char* text) {
    return text[0] >= '0' && text[0] <= '9';
}

// A host that starts with a digit is dotted text and never looked up by name.
// Negative when it is not a valid dotted address or the name is not found.
int resolveHost(const char* text, uint32_t* address) {
    if (startsWithDigit(text)) {
        return netParseDotted(text, address);
    }
    return netResolveName(text, address);
}

// The value of the leading digits, modulo 65536; negative when there are none.
int parsePort(const char* text) {
    if (!startsWithDigit(text)) {
        return -1;
    }
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = (value * 10 + static_cast<uint32_t>(*text - '0')) % 65536;
    }
    return static_cast<int>(value);
}

}  // namespace

int printUsage(int code) {
    std::printf("%s", ERROR_MESSAGES[code]);
    std::printf("%s\n%s\n\n%s\n%s\n%s\n%s\n%s\n",
                "Usage:", "  VOSSMAREL.EXE <Remote-IP> <Remote-Port> [<Local-IP> <Local-Port>]",
                "Where:", "  <Remote-IP>   : The IP Address of the remote pop3 server.",
                "  <Remote-Port> : The Port of the pop3 server to connect to.",
                "  <Local-IP>    : The IP Address of your machine.            (optional)",
                "  <Local-Port>  : The Port of your machine.                  (optional)");
    return code;
}

int parseArguments(int count, char** vector) {
    if (count != 3 && count != 5) {
        return printUsage(ERR_PARAMETER_COUNT);
    }
    std::memset(&proxyConfig.remoteAddr, 0, sizeof proxyConfig.remoteAddr);
    if (resolveHost(vector[1], &proxyConfig.remoteAddr.address) < 0) {
        return printUsage(ERR_REMOTE_HOST);
    }
    int remotePort = parsePort(vector[2]);
    if (remotePort < 0) {
        return printUsage(ERR_REMOTE_PORT);
    }
    proxyConfig.remoteAddr.port = netHostToNetShort(static_cast<uint16_t>(remotePort));
    if (count == 3) {
        proxyConfig.localAddr = 0;
        proxyConfig.localPort = DEFAULT_LOCAL_PORT;
        return 0;
    }
    uint32_t localAddress = 0;
    if (resolveHost(vector[3], &localAddress) < 0) {
        return printUsage(ERR_LOCAL_HOST);
    }
    proxyConfig.localAddr = netNetToHostLong(localAddress);
    int localPort = parsePort(vector[4]);
    if (localPort < 0) {
        return printUsage(ERR_LOCAL_PORT);
    }
    proxyConfig.localPort = static_cast<uint16_t>(localPort);
    return 0;
}
