// The sockets layer on POSIX systems.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/net.h"

namespace {

sockaddr_in toSockaddr(const NetAddress* endpoint) {
    sockaddr_in native;
    std::memset(&native, 0, sizeof native);
    native.sin_family = AF_INET;
    native.sin_port = endpoint->port;
    native.sin_addr.s_addr = endpoint->address;
    return native;
}

int setIntOption(NetSocket sock, int level, int name) {
    int on = 1;
    return setsockopt(static_cast<int>(sock), level, name, &on, sizeof on);
}

}  // namespace

int netStart() {
    return 1;
}

NetSocket netStreamSocket() {
    return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

int netReuseListenAddress(NetSocket sock) {
    return setIntOption(sock, SOL_SOCKET, SO_REUSEADDR);
}

int netBind(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return bind(static_cast<int>(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netListen(NetSocket sock, int backlog) {
    return listen(static_cast<int>(sock), backlog);
}

NetSocket netAccept(NetSocket listener) {
    return accept(static_cast<int>(listener), nullptr, nullptr);
}

int netConnect(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return connect(static_cast<int>(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netNoDelay(NetSocket sock) {
    return setIntOption(sock, IPPROTO_TCP, TCP_NODELAY);
}

long netRecv(NetSocket sock, char* buffer, std::size_t size) {
    ssize_t got;
    do {
        got = recv(static_cast<int>(sock), buffer, size, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

long netSend(NetSocket sock, const char* data, std::size_t size) {
    ssize_t sent;
    // MSG_NOSIGNAL: a peer that has gone must fail the send, not kill the process.
    do {
        sent = send(static_cast<int>(sock), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

void netClose(NetSocket sock) {
    close(static_cast<int>(sock));
}

int netParseDotted(const char* text, uint32_t* address) {
    in_addr_t converted = inet_addr(text);
    if (converted == INADDR_NONE) {
        return -1;
    }
    *address = converted;
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
