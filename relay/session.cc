#include "relay/session.h"

#include <cstdio>
#include <cstring>

#include "filter/filter.h"
#include "relay/command_table.h"
#include "relay/line_reader.h"
#include "relay/line_writer.h"
#include "relay/proxy_config.h"

namespace {

const char SERVER_NOT_FOUND[] = "-ERR Server not found";
const char REFUSED_COMMAND[] = "-ERR I don't understand this command !!!";

// Everything one session holds.
struct Session {
    char line[LINE_BUFFER_SIZE];  // the one line buffer, shared by both directions
    LineReader fromClient;
    LineReader fromServer;
    LineWriter toClient;
    LineWriter toServer;
};

bool isErrorStatus(const char* status) {
    return std::strncmp(status, "-ERR", 4) == 0;
}

// The terminating "." line: its first byte as received is the ".", so neither
// a piece of a longer line nor a line that reads "." only once a CR is dropped
// is one.
bool endsBody(const Session* session) {
    const LineReader& reader = session->fromServer;
    return !reader.continued && reader.startsWithDot && std::strcmp(session->line, ".") == 0;
}

// A line that starts with "." only after the server's stuffing: a piece of a
// longer line, or a line whose "." followed a dropped CR.
bool needsStuffing(const Session* session) {
    const LineReader& reader = session->fromServer;
    return session->line[0] == '.' && (reader.continued || !reader.startsWithDot);
}

// Passes on the whole lines already received that framing leaves as they
// are, filtered in place, straight from the read-ahead buffer. False when
// the client connection failed.
bool passPlainLines(Session* session, bool filtered) {
    std::size_t length;
    char* lines = takePlainLines(&session->fromServer, LINE_BUFFER_SIZE, &length);
    if (length == 0) {
        return true;
    }
    if (filtered) {
        filterLines(lines, length);
    }
    return passLines(&session->toClient, lines, length) >= 0;
}

// What relaying one line as framing makes it came to.
enum LineOutcome { LINE_PASSED, BODY_ENDED, CONNECTION_FAILED };

LineOutcome relayFramedLine(Session* session, bool filtered) {
    if (recvLine(&session->fromServer, session->line, LINE_BUFFER_SIZE) == nullptr) {
        // The lines that did arrive still reach the client.
        flushLines(&session->toClient);
        return CONNECTION_FAILED;
    }
    if (filtered) {
        filterLine(session->line);
    }
    // Stuffed so that the client neither takes it for the end nor drops its ".".
    const char* prefix = needsStuffing(session) ? "." : "";
    if (queueLine(&session->toClient, prefix, session->line) < 0) {
        return CONNECTION_FAILED;
    }
    return endsBody(session) ? BODY_ENDED : LINE_PASSED;
}

// Relays body lines up to and including the "." line. Everything received is
// sent before waiting for more, so no line is held back. False when a
// connection failed.
bool relayBody(Session* session, bool filtered) {
    for (;;) {
        if (!passPlainLines(session, filtered)) {
            return false;
        }
        if (!lineBuffered(&session->fromServer, LINE_BUFFER_SIZE)) {
            if (flushLines(&session->toClient) < 0) {
                return false;
            }
            // A line that has only begun is received whole, so that it can pass as it is.
            if (receiveMore(&session->fromServer, LINE_BUFFER_SIZE)) {
                continue;
            }
        }
        LineOutcome outcome = relayFramedLine(session, filtered);
        if (outcome != LINE_PASSED) {
            return outcome == BODY_ENDED;
        }
    }
}

// Forwards one permitted command and relays its whole response. False when a
// connection failed.
bool relayCommand(Session* session, int responseClass) {
    if (sendLine(&session->toServer, session->line) < 0 ||
        recvLine(&session->fromServer, session->line, LINE_BUFFER_SIZE) == nullptr ||
        queueLine(&session->toClient, "", session->line) < 0) {
        return false;
    }
    std::printf("Rx %s\r\n", session->line);
    bool multiLine = responseClass == RESP_MULTI_FILTERED || responseClass == RESP_MULTI;
    // A status line that reads "." announces no body, as a client reads it too.
    bool bodyFollows =
        multiLine && !isErrorStatus(session->line) && std::strcmp(session->line, ".") != 0;
    if (bodyFollows && !relayBody(session, responseClass == RESP_MULTI_FILTERED)) {
        return false;
    }
    return flushLines(&session->toClient) >= 0;
}

// The dialogue on a connected server socket, from the greeting to the end.
void relayDialogue(Session* session) {
    if (recvLine(&session->fromServer, session->line, LINE_BUFFER_SIZE) == nullptr) {
        std::printf("outsock rx error");
        return;
    }
    if (sendLine(&session->toClient, session->line) < 0) {
        return;
    }
    for (;;) {
        if (recvLine(&session->fromClient, session->line, LINE_BUFFER_SIZE) == nullptr) {
            std::printf("Bye bye\n");
            return;
        }
        std::printf("Tx: %s\r\n", session->line);
        int responseClass = classifyCommand(session->line);
        if (responseClass == CMD_UNKNOWN) {
            if (sendLine(&session->toClient, REFUSED_COMMAND) < 0) {
                return;
            }
        } else if (!relayCommand(session, responseClass)) {
            return;
        }
    }
}

}  // namespace

void relaySession(NetSocket insock) {
    // Sessions run one at a time; a quarter megabyte is better kept off the stack.
    static Session session;
    std::memset(session.line, 0, sizeof session.line);
    startLineReader(&session.fromClient, insock);
    startLineWriter(&session.toClient, insock);
    NetSocket outsock = netStreamSocket();
    if (outsock < 0) {
        std::printf("socket() err\n");
        sendLine(&session.toClient, SERVER_NOT_FOUND);
        return;
    }
    if (netConnect(outsock, &proxyConfig.remoteAddr) < 0) {
        std::printf("connect() err\n");
        sendLine(&session.toClient, SERVER_NOT_FOUND);
    } else {
        netNoDelay(insock);
        netNoDelay(outsock);
        startLineReader(&session.fromServer, outsock);
        startLineWriter(&session.toServer, outsock);
        relayDialogue(&session);
    }
    netClose(outsock);
}
