"""The relay's console never stops the relay and never reaches a client."""

import os
import socket
import subprocess
import unittest

from harness import BANNER, GREETING, RUNNER, TIMEOUT, ScriptedServer, client_connection
from harness import relay_command, relay_environment, start_listening

ANSWERS = [(b"USER alice", b"+OK user\r\n"), (b"PASS secret", b"+OK pass\r\n"),
           (b"QUIT", b"+OK bye\r\n")]


class ConsoleTest(unittest.TestCase):
    def setUp(self):
        self.server = ScriptedServer()
        self.addCleanup(self.server.close)

    def start(self, shell_redirections, stdout):
        """The relay on a free port, started through a shell that applies the
        redirections to its standard descriptors: (process, port)."""

        def launch(port):
            return subprocess.Popen(
                ["sh", "-c", 'exec "$@" ' + shell_redirections, "sh"]
                + relay_command("127.0.0.1", str(self.server.port), "127.0.0.1", str(port)),
                stdout=stdout, stderr=subprocess.DEVNULL, env=relay_environment())

        process, port = start_listening(launch)
        self.addCleanup(process.wait, TIMEOUT)
        self.addCleanup(process.kill)
        return process, port

    def serve_one_client(self, port):
        """Runs a USER, PASS, QUIT dialogue; returns everything the client got."""

        def script(peer):
            peer.send_line(GREETING)
            for command, answer in ANSWERS:
                self.assertEqual(peer.read_line(), command)
                peer.send(answer)
            peer.read_to_close()

        self.server.serve(script)
        client = client_connection(port)
        for command, _ in ANSWERS:
            client.send_line(command)
        # The relay ends the session when the client's input ends.
        client.sock.shutdown(socket.SHUT_WR)
        received = client.read_to_close()
        client.close()
        self.server.finish()
        return received

    def expected_client_bytes(self):
        return GREETING + b"\r\n" + b"".join(answer for _, answer in ANSWERS)

    def test_a_console_whose_reader_has_gone_never_stops_the_relay(self):
        process, port = self.start("", subprocess.PIPE)
        self.assertEqual(process.stdout.read(len(BANNER)), BANNER)
        process.stdout.close()
        for _ in range(2):
            self.assertEqual(self.serve_one_client(port), self.expected_client_bytes())
        self.assertIsNone(process.poll(), "the relay ended")

    @unittest.skipIf(RUNNER, "descriptor reuse is a POSIX matter")
    def test_closed_standard_descriptors_never_carry_the_trace_to_a_client(self):
        process, port = self.start("<&- >&-", None)
        for _ in range(2):
            self.assertEqual(self.serve_one_client(port), self.expected_client_bytes())
        self.assertIsNone(process.poll(), "the relay ended")

    @unittest.skipUnless(os.environ.get("VOSSMAREL_NO_DEVNULL"), "no build without /dev/null")
    def test_a_closed_descriptor_that_cannot_be_filled_stops_the_start(self):
        # It ends before it listens, so the port is never used.
        done = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh",
                               os.environ["VOSSMAREL_NO_DEVNULL"], "127.0.0.1", "110",
                               "127.0.0.1", "1110"],
                              capture_output=True, timeout=TIMEOUT)
        self.assertEqual(done.returncode, 8)
        self.assertEqual(done.stderr, b"Cannot open /dev/null for a closed standard descriptor\n")


if __name__ == "__main__":
    unittest.main()
