"""Runs the built relay as a process and talks to it over loopback.

VOSSMAREL names the executable; VOSSMAREL_RUNNER, when set, is the command
that runs it (wine for the Windows build)."""

import os
import re
import resource
import shlex
import socket
import subprocess
import threading
import time
import unittest

# Wine needs seconds to start a process; everything else answers at once.
RUNNER = shlex.split(os.environ.get("VOSSMAREL_RUNNER", ""))
TIMEOUT = 30.0 if RUNNER else 10.0

BANNER = (b"Vossmarel for Win32 (Version 1.00 beta)\r\n"
          b"Written By: Quimbrel\r\n"
          b"WARNING - THIS PROGRAM IS STILL UNDER DEVELOPMENT\r\n\r\n")

USAGE = (b"Usage:\n"
         b"  VOSSMAREL.EXE <Remote-IP> <Remote-Port> [<Local-IP> <Local-Port>]\n\n"
         b"Where:\n"
         b"  <Remote-IP>   : The IP Address of the remote pop3 server.\n"
         b"  <Remote-Port> : The Port of the pop3 server to connect to.\n"
         b"  <Local-IP>    : The IP Address of your machine.            (optional)\n"
         b"  <Local-Port>  : The Port of your machine.                  (optional)\n")

REFUSAL = b"-ERR I don't understand this command !!!\r\n"

# What the scripted server greets with.
GREETING = b"+OK scripted POP3 ready"


def relay_command(*arguments):
    return RUNNER + [os.environ["VOSSMAREL"]] + list(arguments)


def relay_environment():
    environment = dict(os.environ)
    environment.setdefault("WINEDEBUG", "-all")
    return environment


# A relay whose chosen port another process took in the meantime ends with
# this status; it is started again on another port, this many times at most.
EXIT_NO_LISTENER = 7
PORT_ATTEMPTS = 5


def free_port():
    """A port that was free a moment ago: only for a program that fails
    clearly when it has been taken since, and is then started again."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class HeldPort:
    """A port on 127.0.0.1 held by a socket that is bound and never listens:
    connections to it are refused and no other program takes it while it is
    held. A listener with SO_REUSEADDR may bind beside it."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]

    def close(self):
        self.sock.close()


def listening_sockets(port):
    """The descriptor links of the sockets listening on 127.0.0.1:port."""
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table][1:]
    return {"socket:[%s]" % row[9] for row in rows
            if row[1] == "0100007F:%04X" % port and row[3] == "0A"}


def holds_any(pid, links):
    try:
        return any(os.readlink("/proc/%d/fd/%s" % (pid, fd)) in links
                   for fd in os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return False


def listener_owners(process):
    """The processes that can hold the relay's listening socket: the relay
    itself, or under wine the wineservers, which hold its programs' sockets."""
    if not RUNNER:
        return [process.pid]
    owners = []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                if b"wineserver" in cmdline.read():
                    owners.append(int(entry))
        except (OSError, ValueError):
            continue
    return owners


def wait_until_listening(process, port, owners=listener_owners):
    """True once one of owners(process) listens on port; False when the
    process ended first."""
    deadline = time.monotonic() + TIMEOUT
    while process.poll() is None:
        links = listening_sockets(port)
        if links and any(holds_any(pid, links) for pid in owners(process)):
            return True
        if time.monotonic() > deadline:
            raise AssertionError("%s never listened on port %d" % (process.args, port))
        time.sleep(0.02)
    return False


def relay_found_port_taken(process):
    return process.returncode == EXIT_NO_LISTENER


def start_listening(launch, port_taken=relay_found_port_taken, owners=listener_owners):
    """Runs launch(port) on free ports until the process it starts listens:
    (process, port). A port taken before the process could bind it ends the
    process, port_taken(process) says so, and it is started on another."""
    for _ in range(PORT_ATTEMPTS):
        port = free_port()
        process = launch(port)
        if wait_until_listening(process, port, owners):
            return process, port
        if process.stdout is not None:
            process.stdout.close()
        if not port_taken(process):
            raise AssertionError("%s ended with status %d" % (process.args, process.returncode))
    raise AssertionError("no free port in %d attempts" % PORT_ATTEMPTS)


def client_connection(port):
    """A client connection to a relay on 127.0.0.1:port. It is made only once
    the relay is seen listening, so a refusal is a failure, not a wait."""
    return Peer(socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT))


def process_status(pid, field):
    """A number from /proc/PID/status: a size in KiB, or a count."""
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise AssertionError("no %s for process %d" % (field, pid))


def limit_descriptors(count):
    """A start-up hook that lets the process hold only count descriptors."""
    return lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (count, count))


def run_to_exit(*arguments):
    """Runs the relay to its end: (exit status, standard output, standard error)."""
    done = subprocess.run(relay_command(*arguments), capture_output=True,
                          timeout=TIMEOUT * 2, env=relay_environment(), stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout, done.stderr


class Relay:
    """A relay process listening on 127.0.0.1, with its console collected."""

    def __init__(self, remote_port, remote_host="127.0.0.1", port=None, descriptors=None):
        """Listens on port, or on a free port when port is None."""

        def launch(local_port):
            return subprocess.Popen(
                relay_command(remote_host, str(remote_port), "127.0.0.1", str(local_port)),
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                env=relay_environment(), preexec_fn=descriptors and limit_descriptors(descriptors))

        self.output = bytearray()
        self.output_ended = False
        self.connections = 0
        self.lock = threading.Condition()
        if port is None:
            self.process, self.port = start_listening(launch)
        else:
            self.process, self.port = launch(port), port
            if not wait_until_listening(self.process, port):
                raise AssertionError("the relay ended with status %d" % self.process.returncode)
        threading.Thread(target=self._collect, daemon=True).start()
        self.wait_for_output(BANNER)

    def _collect(self):
        while True:
            chunk = self.process.stdout.read1(65536)
            with self.lock:
                if not chunk:
                    self.output_ended = True
                    self.lock.notify_all()
                    return
                self.output += chunk
                self.lock.notify_all()

    def wait_for_output(self, text, start=0):
        """Waits until text appears after offset start; returns where it ends."""
        deadline = time.monotonic() + TIMEOUT
        with self.lock:
            while True:
                found = self.output.find(text, start)
                if found >= 0:
                    return found + len(text)
                left = deadline - time.monotonic()
                if left <= 0 or self.output_ended:
                    raise AssertionError("relay never printed %r; it printed %r"
                                         % (text, self.output[start:]))
                self.lock.wait(min(left, 0.2))

    def connect(self):
        """A client connection to the relay, counted: the relay serves
        connections in the order they were made, one at a time."""
        self.connections += 1
        return client_connection(self.port)

    def wait_for_session(self, index):
        """Waits until session index (from 0) has begun; returns where its
        console output starts."""
        announcement = b"New Connection\n"
        end = 0
        for _ in range(index + 1):
            end = self.wait_for_output(announcement, end)
        return end - len(announcement)

    def client_sending(self, command):
        """A client that has read the greeting and sent command."""
        client = self.connect()
        client.read_line()
        client.send_line(command)
        return client

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        self.process.kill()
        self.process.wait(timeout=TIMEOUT)
        self.process.stdout.close()


class Peer:
    """One end of a TCP connection, read by lines or by exact byte counts."""

    def __init__(self, sock):
        self.sock = sock
        self.sock.settimeout(TIMEOUT)
        self.pending = b""

    def send(self, data):
        self.sock.sendall(data)

    def send_line(self, text):
        self.send(text + b"\r\n")

    def dribble(self, data):
        """Sends runs of letters and digits whole and every other byte on its
        own, each after a pause, so that the reader sees every line end,
        CR and full stop arrive separately."""
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for run in re.findall(rb"[A-Za-z0-9]+|[^A-Za-z0-9]", data):
            self.send(run)
            time.sleep(0.002)

    def _fill(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise EOFError("peer closed with %r unread" % self.pending)
        self.pending += chunk

    def read_line(self):
        """The next line with its CR LF removed."""
        while b"\n" not in self.pending:
            self._fill()
        line, self.pending = self.pending.split(b"\n", 1)
        return line[:-1] if line.endswith(b"\r") else line

    def read_exactly(self, expected):
        """Reads len(expected) bytes and returns them."""
        while len(self.pending) < len(expected):
            self._fill()
        data, self.pending = self.pending[:len(expected)], self.pending[len(expected):]
        return data

    def read_to_close(self):
        """Everything until the peer closes or resets the connection."""
        try:
            while True:
                self._fill()
        except (EOFError, ConnectionResetError):
            data, self.pending = self.pending, b""
            return data

    def reset(self):
        """Closes with a reset instead of an orderly close."""
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        self.sock.close()

    def close(self):
        self.sock.close()


class ScriptedServer:
    """A POP3 peer on loopback that runs one script per accepted connection."""

    def __init__(self):
        self.held = HeldPort()
        self.port = self.held.port
        self.listen()
        self.thread = None
        self.failure = None

    def listen(self):
        """Listens on the server's port; between a close of the listener and
        the next listen, the port stays held and connections are refused."""
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", self.port))
        self.listener.listen(8)
        self.listener.settimeout(TIMEOUT)

    def serve(self, script):
        """Runs script(peer) on the next connection, in the background."""
        self.failure = None

        def run():
            try:
                conn, _ = self.listener.accept()
                peer = Peer(conn)
                try:
                    script(peer)
                finally:
                    if peer.sock.fileno() >= 0:
                        peer.close()
            except Exception as error:  # reported by finish()
                self.failure = error

        self.thread = threading.Thread(target=run, daemon=True)
        self.thread.start()

    def serve_one_command(self, then):
        """Greets the next connection, reads one command, then runs then(peer)."""

        def script(peer):
            peer.send_line(GREETING)
            peer.read_line()
            then(peer)

        self.serve(script)

    def serve_greeting(self):
        """Greets the next connection and reads it to its end."""
        self.serve(lambda peer: (peer.send_line(GREETING), peer.read_to_close()))

    def finish(self):
        """Waits for the script to end and raises what went wrong in it."""
        self.thread.join(TIMEOUT)
        if self.thread.is_alive():
            raise AssertionError("the server script did not end")
        if self.failure is not None:
            raise self.failure

    def close(self):
        self.listener.close()
        self.held.close()


class RelayTestCase(unittest.TestCase):
    """One relay and one scripted server for a whole class of session tests,
    with each test's console output read from where it began."""

    @classmethod
    def setUpClass(cls):
        cls.server = ScriptedServer()
        cls.relay = Relay(cls.server.port)

    @classmethod
    def tearDownClass(cls):
        cls.relay.stop()
        cls.server.close()

    def setUp(self):
        self.first_session = self.relay.connections

    def tearDown(self):
        self.assertTrue(self.relay.alive(), "the relay died")

    def trace_until(self, text):
        """This test's console output, from its first session's "New Connection"
        to the end of text. What an earlier test's session prints late may still
        be on its way, so the start is found by counting sessions, not bytes."""
        start = self.relay.wait_for_session(self.first_session)
        end = self.relay.wait_for_output(text, start)
        return bytes(self.relay.output[start:end])
