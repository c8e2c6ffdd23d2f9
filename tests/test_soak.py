"""One relay process through hundreds of sessions, ordinary and hostile in
turn: it must serve every one, deliver every fetch intact and defused, and
hold no more descriptors or memory at the end than after the first rounds."""

import os
import random
import unittest

from harness import GREETING, Relay, ScriptedServer, process_status
MESSAGE = (b"Content-Type: text/html; name=setup.exe\r\n\r\n"
           b"<img src=a><script>x</script>\r\n..dot\r\n")
DEFUSED = (b"Content-Type: text/html; name=setup_exe\r\n\r\n"
           b"<_mg src=a><_cript>x<_script>\r\n..dot\r\n")
ROUNDS = 100
# Bytes that never spell a command: no letters, but NULs, bare CRs and LFs.
GARBAGE_BYTES = bytes(range(0, 65)) + bytes(range(128, 256))


def descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class SoakTest(unittest.TestCase):
    def setUp(self):
        self.server = ScriptedServer()
        self.relay = Relay(self.server.port)
        self.random = random.Random(600)

    def tearDown(self):
        self.relay.stop()
        self.server.close()

    def fetch(self):
        def script(peer):
            peer.send_line(GREETING)
            for reply in (b"+OK\r\n", b"+OK\r\n", b"+OK\r\n" + MESSAGE + b".\r\n", b"+OK\r\n"):
                peer.read_line()
                peer.send(reply)
            peer.read_to_close()

        self.server.serve(script)
        client = self.relay.connect()
        self.assertEqual(client.read_line(), GREETING)
        for command in (b"USER a", b"PASS b", b"RETR 1"):
            client.send_line(command)
        expected = b"+OK\r\n+OK\r\n+OK\r\n" + DEFUSED + b".\r\n"
        self.assertEqual(client.read_exactly(expected), expected)
        client.send_line(b"QUIT")
        self.assertEqual(client.read_line(), b"+OK")
        client.close()
        self.server.finish()

    def garbage(self):
        self.server.serve_greeting()
        client = self.relay.connect()
        client.read_line()
        client.send(bytes(self.random.choice(GARBAGE_BYTES) for _ in range(3000)))
        client.sock.shutdown(1)
        client.read_to_close()
        client.close()
        self.server.finish()

    def megabyte_without_line_end(self):
        self.server.serve_greeting()
        client = self.relay.connect()
        client.read_line()
        client.send(b"-" * (1 << 20))
        client.sock.shutdown(1)
        replies = client.read_to_close()
        client.close()
        self.server.finish()
        self.assertEqual(replies.count(b"\r\n"), (1 << 20) // 2047 + 1)

    def client_resets_mid_body(self):
        def then(peer):
            try:
                peer.send(b"+OK\r\n" + b"0123456789abcdef\r\n" * 20000 + b".\r\n")
            except OSError:
                pass
            peer.read_to_close()

        self.server.serve_one_command(then)
        client = self.relay.client_sending(b"RETR 1")
        client.read_line()
        client.reset()
        self.server.finish()

    def server_resets_mid_body(self):
        self.server.serve_one_command(
            lambda peer: (peer.send(b"+OK\r\nsome of the body\r\n"), peer.reset()))
        client = self.relay.client_sending(b"RETR 1")
        self.assertTrue(client.read_to_close().startswith(b"+OK\r\n"))
        client.close()
        self.server.finish()

    def server_down(self):
        self.server.listener.close()
        client = self.relay.connect()
        self.assertEqual(client.read_to_close(), b"-ERR Server not found\r\n")
        client.close()
        self.server.listen()

    def silent_client(self):
        self.server.serve_greeting()
        self.relay.connect().close()
        self.server.finish()

    def test_hundreds_of_mixed_sessions_leave_the_relay_as_it_was(self):
        kinds = [self.fetch, self.garbage, self.megabyte_without_line_end,
                 self.client_resets_mid_body, self.server_resets_mid_body, self.server_down,
                 self.silent_client]
        pid = self.relay.process.pid
        baseline = None
        for round_number in range(ROUNDS):
            for kind in kinds:
                kind()
            if round_number == 4:
                baseline = descriptors(pid), process_status(pid, "VmRSS")
        self.fetch()
        self.assertTrue(self.relay.alive())
        self.assertEqual(descriptors(pid), baseline[0])
        self.assertLess(process_status(pid, "VmRSS"), baseline[1] + 1024)


if __name__ == "__main__":
    unittest.main()
