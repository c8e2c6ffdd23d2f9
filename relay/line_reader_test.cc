#include "relay/line_reader.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// A connected pair: the reader reads one end, the test writes the other.
struct SocketPair {
    int reading;
    int writing;
    SocketPair() {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        reading = ends[0];
        writing = ends[1];
    }
    ~SocketPair() {
        close(reading);
        if (writing >= 0) {
            close(writing);
        }
    }
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(writing, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void closeWriting() {
        close(writing);
        writing = -1;
    }
};

struct Piece {
    std::string text;
    bool continued;
    bool startsWithDot = false;  // as received, before any CR was dropped
    bool operator==(const Piece& other) const {
        return text == other.text && continued == other.continued &&
               startsWithDot == other.startsWithDot;
    }
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << '"' << piece.text << '"' << (piece.continued ? " (continued)" : "")
               << (piece.startsWithDot ? " (dot first)" : "");
}

// Every line recvLine returns for bytes that are followed by the peer closing.
std::vector<Piece> readAll(const std::string& bytes, std::size_t size) {
    SocketPair pair;
    pair.write(bytes);
    pair.closeWriting();
    static LineReader reader;
    startLineReader(&reader, pair.reading);
    std::vector<Piece> lines;
    std::vector<char> buffer(size);
    while (recvLine(&reader, buffer.data(), size) != nullptr) {
        lines.push_back({buffer.data(), reader.continued, reader.startsWithDot});
    }
    return lines;
}

struct FramingCase {
    const char* name;
    std::string bytes;
    std::size_t size;
    std::vector<Piece> lines;
};

const FramingCase FRAMING_CASES[] = {
    {"CR before CR LF", "abc\r\r\n", 2048, {{"abc", false}}},
    {"CR inside the line", "a\rbc\n", 2048, {{"abc", false}}},
    {"LF alone ends a line", "a\nb\n", 2048, {{"a", false}, {"b", false}}},
    {"empty lines", "\r\n\n", 2048, {{"", false}, {"", false}}},
    {"pipelined commands",
     "USER a\r\nPASS b\r\nSTAT\r\n",
     2048,
     {{"USER a", false}, {"PASS b", false}, {"STAT", false}}},
    {"unfinished last line", "+OK\r\nhalf", 2048, {{"+OK", false}, {"half", false}}},
    {"nothing at all", "", 2048, {}},
    {"only CRs", "\r\r", 2048, {}},
    {"long line in pieces",
     "abcdefg\r\nx\r\n",
     4,
     {{"abc", false}, {"def", true}, {"g", true}, {"x", false}}},
    {"exact fit makes no empty piece",
     "abc\r\n\r\nxyzuvw\r\n",
     4,
     {{"abc", false}, {"", false}, {"xyz", false}, {"uvw", true}}},
    {"CRs between the cut and its LF", "abc\r\r\nd\n", 4, {{"abc", false}, {"d", false}}},
    {"cut at the very end", "abc", 4, {{"abc", false}}},
    {"piece that reads as the end",
     "abc.\r\n.\r\n",
     4,
     {{"abc", false}, {".", true, true}, {".", false, true}}},
    {"dot after a CR", "\r.\r\n\r..x\n\r\r.\n", 2048, {{".", false}, {"..x", false}, {".", false}}},
    {"dot before a CR", ".\r\r\n..\r\n", 2048, {{".", false, true}, {"..", false, true}}},
    {"dot after a CR after a cut",
     "abc\r\n\r.\r\nxyz\r.\r\n",
     4,
     {{"abc", false}, {".", false}, {"xyz", false}, {".", true}}},
};

TEST(RecvLine, FramesLinesAsTheProtocolSends) {
    for (const FramingCase& c : FRAMING_CASES) {
        EXPECT_EQ(readAll(c.bytes, c.size), c.lines) << c.name;
    }
}

TEST(RecvLine, LineOfTheFullBufferSizeComesAlone) {
    std::string full(LINE_BUFFER_SIZE - 1, 'x');
    EXPECT_EQ(readAll(full + "\r\n.\r\n", LINE_BUFFER_SIZE),
              (std::vector<Piece>{{full, false}, {".", false, true}}));
    EXPECT_EQ(readAll(full + full + "\r\n", LINE_BUFFER_SIZE),
              (std::vector<Piece>{{full, false}, {full, true}}));
    EXPECT_EQ(readAll(full + "..\r\n", LINE_BUFFER_SIZE),
              (std::vector<Piece>{{full, false}, {"..", true, true}}));
}

TEST(RecvLine, StoresNulLikeAnyByte) {
    SocketPair pair;
    pair.write(std::string("a\0b\r\nc\n", 7));
    static LineReader reader;
    startLineReader(&reader, pair.reading);
    char buffer[16];
    ASSERT_NE(recvLine(&reader, buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::string(buffer, 4), std::string("a\0b\0", 4));
    ASSERT_NE(recvLine(&reader, buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "c");
}

struct PlainCase {
    const char* name;
    std::string bytes;     // all of it arrives first
    std::size_t size;      // the line buffer's size
    int linesReadFirst;    // lines read with recvLine before taking
    std::string taken;     // what takePlainLines then takes
    std::string nextLine;  // what recvLine returns after that
};

const PlainCase PLAIN_CASES[] = {
    {"whole lines and empty ones", "a\r\nb\r\n\r\nc", 2048, 0, "a\r\nb\r\n\r\n", "c"},
    {"an LF alone", "a\r\nb\nc\r\n", 2048, 0, "a\r\n", "b"},
    {"a CR inside", "a\r\nb\rc\r\n", 2048, 0, "a\r\n", "bc"},
    {"a CR before the CR LF", "a\r\nb\r\r\n", 2048, 0, "a\r\n", "b"},
    {"a dot first", "a\r\n.\r\n", 2048, 0, "a\r\n", "."},
    {"a dot after a CR", "a\r\n\r.\r\n", 2048, 0, "a\r\n", "."},
    {"a NUL", std::string("a\r\nb\0c\r\nd\r\n", 11), 2048, 0, "a\r\n", "b"},
    {"longest that fits", "abc\r\nabcd\r\n", 4, 0, "abc\r\n", "abc"},
    {"the rest of a cut line", "abcd\r\nx\r\n", 4, 1, "", "d"},
    {"after the line that closes a cut", "abc\r\nx\r\n", 4, 1, "", "x"},
    {"nothing whole", "abc", 2048, 0, "", "abc"},
};

std::string takeAll(LineReader* reader, std::size_t size) {
    std::size_t length;
    const char* taken = takePlainLines(reader, size, &length);
    return std::string(taken, length);
}

TEST(TakePlainLines, TakesOnlyLinesThatFramingPassesOnAsTheyAre) {
    for (const PlainCase& c : PLAIN_CASES) {
        SocketPair pair;
        pair.write(c.bytes);
        pair.closeWriting();
        static LineReader reader;
        startLineReader(&reader, pair.reading);
        std::vector<char> buffer(c.size);
        for (int i = 0; i < c.linesReadFirst; ++i) {
            ASSERT_NE(recvLine(&reader, buffer.data(), c.size), nullptr) << c.name;
        }
        if (c.linesReadFirst == 0) {
            ASSERT_TRUE(receiveMore(&reader, c.size)) << c.name;
        }
        EXPECT_EQ(takeAll(&reader, c.size), c.taken) << c.name;
        ASSERT_NE(recvLine(&reader, buffer.data(), c.size), nullptr) << c.name;
        EXPECT_EQ(std::string(buffer.data()), c.nextLine) << c.name;
    }
}

TEST(ReceiveMore, KeepsTheBegunLineWholeAndStopsAtTheEnd) {
    SocketPair pair;
    static LineReader reader;
    startLineReader(&reader, pair.reading);
    pair.write("abc\r\nde");
    ASSERT_TRUE(receiveMore(&reader, LINE_BUFFER_SIZE));
    EXPECT_EQ(takeAll(&reader, LINE_BUFFER_SIZE), "abc\r\n");
    pair.write("f\r\n");
    ASSERT_TRUE(receiveMore(&reader, LINE_BUFFER_SIZE));
    EXPECT_EQ(takeAll(&reader, LINE_BUFFER_SIZE), "def\r\n");
    // With as many bytes unread as a line can hold, more would never make a plain line.
    pair.write("ghij");
    ASSERT_TRUE(receiveMore(&reader, LINE_BUFFER_SIZE));
    EXPECT_FALSE(receiveMore(&reader, 4));
    pair.closeWriting();
    EXPECT_FALSE(receiveMore(&reader, LINE_BUFFER_SIZE));
    char line[LINE_BUFFER_SIZE];
    ASSERT_NE(recvLine(&reader, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "ghij");
}

struct BufferedCase {
    const char* bytes;  // all of it arrives before the first line is read
    bool expected;      // what lineBuffered says after that first line
};

const BufferedCase BUFFERED_CASES[] = {
    {"a\nb\n", true},   {"a\nbc", false},     {"a\nbcd", true},    {"a\nb\r\rc", false},
    {"abc\r\n", false}, {"abc\r\nx\n", true}, {"abc\r\n\n", true},
};

TEST(LineBuffered, TellsWhetherTheNextLineWouldWaitOnTheNetwork) {
    for (const BufferedCase& c : BUFFERED_CASES) {
        SocketPair pair;
        pair.write(c.bytes);
        static LineReader reader;
        startLineReader(&reader, pair.reading);
        char buffer[4];
        ASSERT_NE(recvLine(&reader, buffer, sizeof buffer), nullptr);
        EXPECT_EQ(lineBuffered(&reader, sizeof buffer), c.expected) << c.bytes;
    }
}

}  // namespace
