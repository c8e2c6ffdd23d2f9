// Built with the sockets layer's send wrapped so that every call sends only a
// few bytes: a batch must still arrive whole and in order.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "relay/line_writer.h"
#include "relay/read_until_closed_test_util.h"

const std::size_t SHORT_SEND_BYTES = 5;

extern "C" long __real__Z7netSendlPKcm(NetSocket sock, const char* data, std::size_t size);

extern "C" long __wrap__Z7netSendlPKcm(NetSocket sock, const char* data, std::size_t size) {
    return __real__Z7netSendlPKcm(sock, data, size < SHORT_SEND_BYTES ? size : SHORT_SEND_BYTES);
}

namespace {

TEST(LineWriter, ContinuesShortSendsUntilTheBatchIsOut) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    std::string received;
    std::thread reader([&] { received = readUntilClosed(ends[1]); });
    static LineWriter writer;
    startLineWriter(&writer, ends[0]);
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        std::string text = "line " + std::to_string(i);
        ASSERT_EQ(queueLine(&writer, "", text.c_str()), 0);
        expected += text + "\r\n";
    }
    ASSERT_EQ(flushLines(&writer), 0);
    close(ends[0]);
    reader.join();
    close(ends[1]);
    EXPECT_EQ(received, expected);
}

}  // namespace
