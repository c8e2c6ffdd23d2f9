// The entry: banner, sockets start-up, command line, listener, accept loop.
#include <cstdio>

#include "console/console.h"
#include "frontend/arguments.h"
#include "frontend/listener.h"
#include "net/net.h"
#include "relay/proxy_config.h"

namespace {

// Not 0: a sockets layer that did not start is a failure.
const int EXIT_NO_NETWORK = 6;
const int EXIT_NO_LISTENER = 7;
const int EXIT_NO_CONSOLE = 8;

int startNetwork() {
    if (netStart() == 0) {
        std::fprintf(stderr, "WSAStartup() failed");
        return 0;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!consoleStart()) {
        std::fprintf(stderr, "Cannot open /dev/null for a closed standard descriptor\n");
        return EXIT_NO_CONSOLE;
    }
    std::printf("%s\r\n%s\r\n%s\r\n\r\n", "Vossmarel for Win32 (Version 1.00 beta)",
                "Written By: Quimbrel", "WARNING - THIS PROGRAM IS STILL UNDER DEVELOPMENT");
    if (startNetwork() == 0) {
        return EXIT_NO_NETWORK;
    }
    int code = parseArguments(argc, argv);
    if (code != 0) {
        return code;
    }
    NetSocket listener = serverSocket(proxyConfig.localAddr, proxyConfig.localPort);
    if (listener < 0) {
        std::printf("serverSocket() err\n");
        return EXIT_NO_LISTENER;
    }
    acceptClients(listener);
}
