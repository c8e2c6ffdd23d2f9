// A whole session on random bytes from both sides: the client's lines and
// the server's replies come from the input. The session must end when both
// peers have said all they have, everything sent to the client must be whole
// CR LF lines, and the client must see exactly as many bodies end as the
// server sent: a body that ends early or late puts every later answer out of
// step.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/reference_framing.h"
#include "relay/command_table.h"
#include "relay/limits.h"
#include "relay/proxy_config.h"
#include "relay/session.h"

namespace {

int serverListener = -1;

// The scripted server listens on loopback for the whole run.
void startServerListener() {
    serverListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(serverListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(serverListener, 1) != 0 ||
        getsockname(serverListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::abort();
    }
    proxyConfig.remoteAddr.address = address.sin_addr.s_addr;
    proxyConfig.remoteAddr.port = address.sin_port;
}

// Sends everything (or what the relay takes before it hangs up), then
// signals the end and reads until the other side closes.
std::string sayAllThenListen(int sock, const std::string& words) {
    if (!words.empty()) {
        send(sock, words.data(), words.size(), MSG_NOSIGNAL);
    }
    shutdown(sock, SHUT_WR);
    std::string heard;
    char chunk[4096];
    for (ssize_t got; (got = read(sock, chunk, sizeof chunk)) > 0;) {
        heard.append(chunk, static_cast<std::size_t>(got));
    }
    return heard;
}

// A multi-line answer has a body unless its status is an error or reads ".".
bool bodyFollows(int responseClass, const std::string& status) {
    bool multiLine = responseClass == RESP_MULTI_FILTERED || responseClass == RESP_MULTI;
    return multiLine && status.compare(0, 4, "-ERR") != 0 && status != ".";
}

// The bodies the server ends, following the dialogue as the relay must: each
// permitted command takes a status line and, for a multi-line answer, lines
// up to the one that begins with "." as received and reads ".".
int bodiesServerEnds(const std::vector<ReferenceLine>& commands,
                     const std::vector<ReferenceLine>& replies) {
    std::size_t next = 1;  // after the greeting
    int ended = 0;
    for (const ReferenceLine& command : commands) {
        int responseClass = classifyCommand(visibleText(command.text).c_str());
        if (responseClass == CMD_UNKNOWN) {
            continue;
        }
        if (next >= replies.size()) {
            break;
        }
        const std::string status = visibleText(replies[next++].text);
        if (!bodyFollows(responseClass, status)) {
            continue;
        }
        bool bodyEnded = false;
        while (!bodyEnded && next < replies.size()) {
            const ReferenceLine& line = replies[next++];
            bodyEnded = !line.continued && line.startsWithDot && visibleText(line.text) == ".";
        }
        if (!bodyEnded) {
            break;
        }
        ++ended;
    }
    return ended;
}

// The bodies the client sees end, reading the relay's answers to the commands
// it sent as a POP3 client does: in a body only "." ends it.
int bodiesClientSeesEnd(const std::vector<ReferenceLine>& commands, const std::string& heard) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = heard.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        lines.push_back(heard.substr(at, end - at));
    }
    std::size_t next = 1;  // after the greeting
    int ended = 0;
    for (const ReferenceLine& command : commands) {
        if (next >= lines.size()) {
            break;
        }
        int responseClass = classifyCommand(visibleText(command.text).c_str());
        const std::string& status = lines[next++];
        if (responseClass == CMD_UNKNOWN || !bodyFollows(responseClass, status)) {
            continue;
        }
        while (next < lines.size()) {
            if (lines[next++] == ".") {
                ++ended;
                break;
            }
        }
    }
    return ended;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The session's console trace is of no interest here.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    startServerListener();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte splits the rest into what the server and the client say.
    if (size < 1) {
        return 0;
    }
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t split = rest.empty() ? 0 : data[0] % (rest.size() + 1);
    std::string serverWords = rest.substr(0, split);
    std::string clientWords = rest.substr(split);

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
        std::abort();
    }
    std::thread server([&] {
        int sock = accept(serverListener, nullptr, nullptr);
        if (sock < 0) {
            std::abort();
        }
        sayAllThenListen(sock, serverWords);
        close(sock);
    });
    std::string clientHeard;
    std::thread client([&] { clientHeard = sayAllThenListen(ends[1], clientWords); });

    relaySession(ends[0]);
    close(ends[0]);
    client.join();
    server.join();
    close(ends[1]);

    if (!clientHeard.empty() &&
        (clientHeard.size() < 2 || clientHeard.compare(clientHeard.size() - 2, 2, "\r\n") != 0)) {
        std::abort();
    }
    std::vector<ReferenceLine> commands = referenceSplit(clientWords, LINE_BUFFER_SIZE);
    if (bodiesClientSeesEnd(commands, clientHeard) !=
        bodiesServerEnds(commands, referenceSplit(serverWords, LINE_BUFFER_SIZE))) {
        std::abort();
    }
    return 0;
}
