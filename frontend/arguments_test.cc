#include "frontend/arguments.h"

#include <gtest/gtest.h>

#include <vector>

#include "relay/proxy_config.h"

namespace {

struct ArgumentsCase {
    std::vector<const char*> arguments;  // after the program name
    int code;
    uint32_t remoteAddress;  // host byte order, when code is 0
    uint16_t remotePort;
    uint32_t localAddress;
    uint16_t localPort;
};

const ArgumentsCase ARGUMENT_CASES[] = {
    {{}, 1, 0, 0, 0, 0},
    {{"192.0.2.7"}, 1, 0, 0, 0, 0},
    {{"192.0.2.7", "110", "127.0.0.1"}, 1, 0, 0, 0, 0},
    {{"192.0.2.7", "110", "127.0.0.1", "120", "x"}, 1, 0, 0, 0, 0},
    {{"192.0.2.7", "110"}, 0, 0xc0000207, 110, 0, 110},
    {{"192.0.2.7", "110abc"}, 0, 0xc0000207, 110, 0, 110},
    {{"192.0.2.7", "65536"}, 0, 0xc0000207, 0, 0, 110},
    {{"192.0.2.7", "65646"}, 0, 0xc0000207, 110, 0, 110},
    {{"192.0.2.7", "99999999999999999999110"}, 0, 0xc0000207, 64646, 0, 110},
    {{"192.0.2.7", "pop3"}, 3, 0, 0, 0, 0},
    {{"192.0.2.7", ""}, 3, 0, 0, 0, 0},
    {{"192.0.2.7", "110", "127.0.0.1", "120"}, 0, 0xc0000207, 110, 0x7f000001, 120},
    {{"192.0.2.7", "110", "127.0.0.1", "0"}, 0, 0xc0000207, 110, 0x7f000001, 0},
    {{"192.0.2.7", "110", "127.0.0.1", "x"}, 5, 0, 0, 0, 0},
    {{"localhost", "110", "localhost", "1110"}, 0, 0x7f000001, 110, 0x7f000001, 1110},
    {{"1.2.3.x", "110"}, 2, 0, 0, 0, 0},
    {{"999.0.0.1", "110"}, 2, 0, 0, 0, 0},
    {{"4host", "110"}, 2, 0, 0, 0, 0},
    {{"192.0.2.7", "110", "127.0.0.1x", "120"}, 4, 0, 0, 0, 0},
    {{"192.0.2.7", "pop3", "999.0.0.1", "x"}, 3, 0, 0, 0, 0},
    {{"192.0.2.7", "110", "999.0.0.1", "x"}, 4, 0, 0, 0, 0},
};

TEST(ParseArguments, FillsTheConfigurationOrNamesTheFirstFault) {
    for (const ArgumentsCase& c : ARGUMENT_CASES) {
        std::vector<char*> vector = {const_cast<char*>("vossmarel")};
        for (const char* argument : c.arguments) {
            vector.push_back(const_cast<char*>(argument));
        }
        proxyConfig = ProxyConfig{};
        int code = parseArguments(static_cast<int>(vector.size()), vector.data());
        std::string label = c.arguments.empty() ? "(none)" : c.arguments[0];
        for (std::size_t i = 1; i < c.arguments.size(); ++i) {
            label = label + " " + c.arguments[i];
        }
        ASSERT_EQ(code, c.code) << label;
        if (code != 0) {
            continue;
        }
        EXPECT_EQ(netNetToHostLong(proxyConfig.remoteAddr.address), c.remoteAddress) << label;
        EXPECT_EQ(proxyConfig.remoteAddr.port, netHostToNetShort(c.remotePort)) << label;
        EXPECT_EQ(proxyConfig.localAddr, c.localAddress) << label;
        EXPECT_EQ(proxyConfig.localPort, c.localPort) << label;
    }
}

}  // namespace
