// The sockets layer's calls that differ on POSIX systems.
#include <cerrno>

#include "net/native.h"

int netStart() {
    return 1;
}

NetSocket netStreamSocket() {
    return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

int netReuseListenAddress(NetSocket sock) {
    return setOnOption(sock, SOL_SOCKET, SO_REUSEADDR);
}

NetSocket netAccept(NetSocket listener) {
    return accept(toNative(listener), nullptr, nullptr);
}

long netRecv(NetSocket sock, char* buffer, std::size_t size) {
    ssize_t got;
    do {
        got = recv(toNative(sock), buffer, size, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

long netSend(NetSocket sock, const char* data, std::size_t size) {
    ssize_t sent;
    // MSG_NOSIGNAL: a peer that has gone must fail the send, not kill the process.
    do {
        sent = send(toNative(sock), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

void netClose(NetSocket sock) {
    close(toNative(sock));
}
