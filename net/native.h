// The platform's own socket headers and handle type, for the layer's
// implementation files only.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
#endif

#include "net/net.h"

inline NativeSocket toNative(NetSocket sock) {
    return static_cast<NativeSocket>(sock);
}

// Sets a socket option that takes an on/off integer; negative on failure.
int setOnOption(NetSocket sock, int level, int name);
