// The sockets layer's calls that are the same on POSIX and Windows Sockets.
#include <cstring>

#include "net/native.h"

namespace {

sockaddr_in toSockaddr(const NetAddress* endpoint) {
    sockaddr_in native;
    std::memset(&native, 0, sizeof native);
    native.sin_family = AF_INET;
    native.sin_port = endpoint->port;
    native.sin_addr.s_addr = endpoint->address;
    return native;
}

}  // namespace

int setOnOption(NetSocket sock, int level, int name) {
    int on = 1;
    return setsockopt(toNative(sock), level, name, reinterpret_cast<const char*>(&on), sizeof on);
}

int netBind(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return bind(toNative(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netListen(NetSocket sock, int backlog) {
    return listen(toNative(sock), backlog);
}

int netConnect(NetSocket sock, const NetAddress* endpoint) {
    sockaddr_in native = toSockaddr(endpoint);
    return connect(toNative(sock), reinterpret_cast<sockaddr*>(&native), sizeof native);
}

int netNoDelay(NetSocket sock) {
    return setOnOption(sock, IPPROTO_TCP, TCP_NODELAY);
}

int netParseDotted(const char* text, uint32_t* address) {
    uint32_t converted = static_cast<uint32_t>(inet_addr(text));
    if (converted == static_cast<uint32_t>(INADDR_NONE)) {
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
