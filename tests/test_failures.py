"""Sessions that end in a failure, and the relay serving on after each."""

import threading
import unittest

from harness import GREETING, RUNNER, TIMEOUT, HeldPort, Relay, RelayTestCase


class ServerFailureTest(RelayTestCase):
    def fetch_while_server(self, ends_body):
        """Starts a RETR whose server sends part of a body and, once the client
        has its whole lines, ends_body(peer). Waiting matters for a reset: on
        Windows it discards what the relay has not yet read."""
        whole_lines = b"+OK\r\nfirst\r\n"
        lines_seen = threading.Event()

        def then(peer):
            peer.send(whole_lines + b"<img src=")
            lines_seen.wait(TIMEOUT)
            ends_body(peer)

        self.server.serve_one_command(then)
        client = self.relay.client_sending(b"RETR 1")
        received = client.read_exactly(whole_lines)
        lines_seen.set()
        received += client.read_to_close()
        client.close()
        self.server.finish()
        return received

    def test_no_greeting(self):
        self.server.serve(lambda peer: peer.close())
        client = self.relay.connect()
        self.assertEqual(client.read_to_close(), b"")
        client.close()
        self.server.finish()
        self.assertEqual(self.trace_until(b"outsock rx error"), b"New Connection\noutsock rx error")

    def test_server_closing_mid_body_delivers_what_arrived_and_closes_the_client(self):
        received = self.fetch_while_server(lambda peer: peer.close())
        self.assertEqual(received, b"+OK\r\nfirst\r\n<_mg src=\r\n")
        self.server.serve(lambda peer: peer.send_line(GREETING))
        next_client = self.relay.connect()
        self.assertEqual(next_client.read_line(), GREETING)
        next_client.close()
        self.server.finish()
        self.assertEqual(self.trace_until(b"New Connection\nBye bye\n"),
                         b"New Connection\nTx: RETR 1\r\nRx +OK\r\nNew Connection\nBye bye\n")

    def test_server_reset_mid_body_reports_the_receive_error(self):
        received = self.fetch_while_server(lambda peer: peer.reset())
        self.assertTrue(received.startswith(b"+OK\r\nfirst\r\n"), received)
        if RUNNER:
            self.skipTest("wine reports a reset connection as closed")
        self.assertEqual(self.trace_until(b"Error in recvLine()\n"),
                         b"New Connection\nTx: RETR 1\r\nRx +OK\r\nError in recvLine()\n")

    def test_client_reset_mid_body_closes_the_server_connection(self):
        body = b"".join(b"line %d of a long body\r\n" % i for i in range(200000))

        def then(peer):
            try:
                peer.send(b"+OK\r\n" + body + b".\r\n")
            except OSError:
                pass
            peer.read_to_close()

        self.server.serve_one_command(then)
        client = self.relay.client_sending(b"RETR 1")
        self.assertEqual(client.read_line(), b"+OK")
        client.reset()
        self.server.finish()
        self.server.serve_greeting()
        again = self.relay.connect()
        self.assertEqual(again.read_line(), GREETING)
        again.close()
        self.server.finish()

    def test_client_that_says_nothing(self):
        self.server.serve_greeting()
        client = self.relay.connect()
        self.assertEqual(client.read_line(), GREETING)
        client.close()
        self.server.finish()
        self.assertEqual(self.trace_until(b"Bye bye\n"), b"New Connection\nBye bye\n")


class ServerNotFoundTest(unittest.TestCase):
    """Without a server connection each client is told so, and the relay serves on."""

    def assert_each_client_told(self, relay, console_message):
        try:
            for _ in range(2):
                client = relay.connect()
                self.assertEqual(client.read_to_close(), b"-ERR Server not found\r\n")
                client.close()
            expected = (b"New Connection\n" + console_message) * 2
            end = relay.wait_for_output(expected)
            self.assertEqual(relay.output[:end].split(b"\r\n\r\n", 1)[1], expected)
        finally:
            relay.stop()

    def setUp(self):
        self.down = HeldPort()
        self.addCleanup(self.down.close)

    def test_a_server_that_is_down(self):
        self.assert_each_client_told(Relay(self.down.port), b"connect() err\n")

    @unittest.skipIf(RUNNER, "descriptor limits are a POSIX matter")
    def test_a_server_socket_that_cannot_be_created(self):
        # Standard streams, the listener and the client's socket use them all.
        self.assert_each_client_told(Relay(self.down.port, descriptors=5), b"socket() err\n")


if __name__ == "__main__":
    unittest.main()
