// The sockets layer's calls that differ on Windows Sockets.
#include "net/native.h"

namespace {

// Winsock handles are unsigned with INVALID_SOCKET as failure; the layer's
// handles are signed with every negative value as failure.
NetSocket fromNative(SOCKET native) {
    return native == INVALID_SOCKET ? -1 : static_cast<NetSocket>(native);
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
    return setOnOption(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE);
}

NetSocket netAccept(NetSocket listener) {
    return fromNative(accept(toNative(listener), nullptr, nullptr));
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
