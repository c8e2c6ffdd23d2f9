// The sockets layer on Windows Sockets.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "net/net.h"

namespace {

// Winsock handles are unsigned with INVALID_SOCKET as failure; the layer's
// handles are signed with every negative value as failure.
NetSocket fromNative(SOCKET native) {
    return native == INVALID_SOCKET ? -1 : static_cast<NetSocket>(native);
}

SOCKET toNative(NetSocket sock) {
    return static_cast<SOCKET>(sock);
}

sockaddr_in toSockaddr(const NetAddress* endpoint) {
    sockaddr_in native;
    std::memset(&native, 0, sizeof native);
    native.sin_family = AF_INET;
    native.sin_port = endpoint->port;
    native.sin_addr.s_addr = endpoint->address;
    return native;
}

int setIntOption(NetSocket sock, int level, int name) {
    BOOL on = TRUE;
    return setsockopt(toNative(sock), level, name, reinterpret_cast<const char*>(&on), sizeof on);
}

}  // namespace

int netStart() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data) == 0 ? 1 : 0;
}

NetSocket netStreamSocket() {
    return fromNative(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

// SO_REUSEADDR on Windows would let another program bind the same port.
int netReuseListenAddress(NetSocket sock) {
    return setIntOption(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE);
}

int netBind(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return bind(toNative(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netListen(NetSocket sock, int backlog) {
    return listen(toNative(sock), backlog);
}

NetSocket netAccept(NetSocket listener) {
    return fromNative(accept(toNative(listener), nullptr, nullptr));
}

int netConnect(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return connect(toNative(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netNoDelay(NetSocket sock) {
    return setIntOption(sock, IPPROTO_TCP, TCP_NODELAY);
}

long netRecv(NetSocket sock, char* buffer, std::size_t size) {
    return recv(toNative(sock), buffer, static_cast<int>(size), 0);
}

long netSend(NetSocket sock, const char* data, std::size_t size) {
    return send(toNative(sock), data, static_cast<int>(size), 0);
}

void netClose(NetSocket sock) {
    closesocket(toNative(sock));
}

int netParseDotted(const char* text, uint32_t* address) {
    unsigned long converted = inet_addr(text);
    if (converted == INADDR_NONE) {
        return -1;
    }
    *address = static_cast<uint32_t>(converted);
    return 0;
}

int netResolveName(const char* name, uint32_t* address) {
    const hostent* host = gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
        return -1;
    }
    std::memcpy(address, host->h_addr_list[0], sizeof *address);
    return 0;
}

uint16_t netHostToNetShort(uint16_t value) {
    return htons(value);
}

uint32_t netHostToNetLong(uint32_t value) {
    return htonl(value);
}

uint32_t netNetToHostLong(uint32_t value) {
    return ntohl(value);
}
