// The listening socket and the loop that serves its clients one at a time.
#pragma once

#include <cstdint>

#include "net/net.h"

// A socket listening on address and port, both in host byte order; -1 after
// printing what failed.
NetSocket serverSocket(uint32_t address, uint16_t port);

// Accepts clients for ever, relaying one session at a time and closing each
// client's connection after it.
void acceptClients(NetSocket listener);
