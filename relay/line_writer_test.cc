#include "relay/line_writer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "relay/read_until_closed_test_util.h"

namespace {

TEST(LineWriter, DeliversEveryLineInOrderAcrossFullBatches) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    std::string received;
    std::thread reader([&] { received = readUntilClosed(ends[1]); });
    static LineWriter writer;
    startLineWriter(&writer, ends[0]);
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        std::string text = std::to_string(i) + std::string(static_cast<std::size_t>(i % 300), 'x');
        const char* prefix = i % 7 == 0 ? "." : "";
        ASSERT_EQ(queueLine(&writer, prefix, text.c_str()), 0);
        expected += prefix + text + "\r\n";
        // Lines passed as they stand, small enough to join the batch and
        // larger than the batch itself, must keep their place too.
        if (i % 50 == 0) {
            std::string lines(static_cast<std::size_t>(i * 37 % 70001), 'p');
            lines += "\r\n";
            ASSERT_EQ(passLines(&writer, lines.data(), lines.size()), 0);
            expected += lines;
        }
    }
    ASSERT_EQ(flushLines(&writer), 0);
    ASSERT_EQ(sendLine(&writer, "+OK"), 0);
    expected += "+OK\r\n";
    close(ends[0]);
    reader.join();
    close(ends[1]);
    EXPECT_EQ(received, expected);
}

TEST(LineWriter, SendToAPeerThatHasGoneFailsWithoutEndingTheProcess) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    close(ends[1]);
    static LineWriter writer;
    startLineWriter(&writer, ends[0]);
    EXPECT_LT(sendLine(&writer, "+OK"), 0);
    close(ends[0]);
}

}  // namespace
