// The process-wide configuration: written once at start-up, read afterwards.
#pragma once

#include <cstdint>

#include "net/net.h"

struct ProxyConfig {
    NetAddress remoteAddr;  // the POP3 server, network byte order
    uint32_t localAddr;     // address to listen on, host byte order; 0 is every interface
    uint16_t localPort;     // port to listen on, host byte order
};

extern ProxyConfig proxyConfig;
