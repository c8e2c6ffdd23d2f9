// The sockets layer: the few TCP/IPv4 operations the relay needs, behind one
// interface with a POSIX and a Winsock implementation.
#pragma once

#include <cstddef>
#include <cstdint>

// A socket handle; a negative value means failure, on every platform.
using NetSocket = std::intptr_t;

// An IPv4 endpoint, address and port both in network byte order.
struct NetAddress {
    uint32_t address;
    uint16_t port;
};

// Starts the sockets layer; 1 when it started, 0 when not.
int netStart();

// Creates a TCP stream socket for IPv4; negative on failure.
NetSocket netStreamSocket();

// Lets a restarted listener bind its address at once without letting another
// program take it over; negative on failure.
int netReuseListenAddress(NetSocket sock);

// Binds to an endpoint; negative on failure.
int netBind(NetSocket sock, const NetAddress* endpoint);

// Puts a bound socket to listening; negative on failure.
int netListen(NetSocket sock, int backlog);

// Waits for the next client, asking for no peer address; negative on failure.
NetSocket netAccept(NetSocket listener);

// Connects to an endpoint; negative on failure.
int netConnect(NetSocket sock, const NetAddress* endpoint);

// Sends each small write at once instead of waiting to coalesce; negative on failure.
int netNoDelay(NetSocket sock);

// Receives up to size bytes: their count, 0 when the peer closed, negative on failure.
long netRecv(NetSocket sock, char* buffer, std::size_t size);

// Sends up to size bytes: their count, negative on failure, also when the
// peer has gone; never ends the process.
long netSend(NetSocket sock, const char* data, std::size_t size);

// Closes a socket.
void netClose(NetSocket sock);

// Converts dotted IPv4 text to an address in network byte order; negative
// when the text is no valid dotted address.
int netParseDotted(const char* text, uint32_t* address);

// Resolves a host name to its first IPv4 address, in network byte order;
// negative when the name is not found.
int netResolveName(const char* name, uint32_t* address);

// Byte order conversions between host and network order.
uint16_t netHostToNetShort(uint16_t value);
uint32_t netHostToNetLong(uint32_t value);
uint32_t netNetToHostLong(uint32_t value);
