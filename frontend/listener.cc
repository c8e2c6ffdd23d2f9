#include "frontend/listener.h"

#include <cstdio>

#include "relay/limits.h"
#include "relay/session.h"

NetSocket serverSocket(uint32_t address, uint16_t port) {
    NetSocket sock = netStreamSocket();
    if (sock < 0) {
        std::printf("socket() err\n");
        return -1;
    }
    NetAddress endpoint = {netHostToNetLong(address), netHostToNetShort(port)};
    const char* failure = nullptr;
    // A restart right after a session must bind again at once.
    netReuseListenAddress(sock);
    if (netBind(sock, &endpoint) < 0) {
        failure = "bind() err\n";
    } else if (netListen(sock, LISTEN_BACKLOG) < 0) {
        failure = "listen() err\n";
    }
    if (failure != nullptr) {
        std::printf("%s", failure);
        netClose(sock);
        return -1;
    }
    return sock;
}

void acceptClients(NetSocket listener) {
    for (;;) {
        NetSocket insock = netAccept(listener);
        if (insock < 0) {
            std::printf("accept() err\n");
            continue;
        }
        std::printf("New Connection\n");
        relaySession(insock);
        netClose(insock);
    }
}
