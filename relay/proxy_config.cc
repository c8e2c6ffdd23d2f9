#include "relay/proxy_config.h"

ProxyConfig proxyConfig;
