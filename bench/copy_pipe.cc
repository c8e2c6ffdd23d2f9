// The floor a relay is measured against: a pipe that accepts one client at a
// time, connects it to the server and copies bytes both ways with poll,
// receive and send, and nothing else: no framing, no filter, no trace.
//   copy_pipe LISTEN_PORT SERVER_PORT   (both on 127.0.0.1)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const size_t CHUNK_SIZE = 64 * 1024;

sockaddr_in loopback(int port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Copies what one side has to the other; false when the connection ended.
bool copyOnce(int from, int to, char* chunk) {
    ssize_t got = recv(from, chunk, CHUNK_SIZE, 0);
    if (got <= 0) {
        return false;
    }
    for (ssize_t sent = 0; sent < got;) {
        ssize_t result = send(to, chunk + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
        if (result <= 0) {
            return false;
        }
        sent += result;
    }
    return true;
}

void pipeSession(int client, int serverPort, char* chunk) {
    int server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(serverPort);
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        bool open = true;
        while (open && poll(ends, 2, -1) > 0) {
            if (ends[0].revents != 0) {
                open = copyOnce(client, server, chunk);
            }
            if (open && ends[1].revents != 0) {
                open = copyOnce(server, client, chunk);
            }
        }
    }
    close(server);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: copy_pipe LISTEN_PORT SERVER_PORT\n");
        return 1;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = loopback(std::atoi(argv[1]));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 5) != 0) {
        std::perror("copy_pipe: listen");
        return 1;
    }
    static char chunk[CHUNK_SIZE];
    for (;;) {
        int client = accept(listener, nullptr, nullptr);
        if (client >= 0) {
            pipeSession(client, std::atoi(argv[2]), chunk);
            close(client);
        }
    }
}
