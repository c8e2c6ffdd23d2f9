"""The relay's command line, exit statuses and listener, as a process."""

import os
import socket
import subprocess
import unittest

from harness import BANNER, USAGE, HeldPort, Relay, run_to_exit

MESSAGES = {
    1: b"Error: Incorrect number of parameters.\n\n",
    2: b"Error: Could not resolve remote hostname.\n\n",
    3: b"Error: Invalid remote port (NaN).\n\n",
    4: b"Error: Could not resolve local hostname.\n\n",
    5: b"Error: Invalid local port (NaN).\n\n",
}

# Arguments after the program name, and the exit status they must end with.
REFUSED = [
    ([], 1),
    (["192.0.2.7"], 1),
    (["192.0.2.7", "110", "127.0.0.1"], 1),
    (["192.0.2.7", "110", "127.0.0.1", "120", "x"], 1),
    (["no-such-host.invalid", "110"], 2),
    (["1.2.3.x", "110"], 2),
    (["192.0.2.7", "pop3"], 3),
    (["192.0.2.7", "pop3", "127.0.0.1", "x"], 3),
    (["192.0.2.7", "110", "no-such-host.invalid", "120"], 4),
    (["192.0.2.7", "110", "999.0.0.1", "120"], 4),
    (["192.0.2.7", "110", "127.0.0.1", "x"], 5),
]


class CommandLineTest(unittest.TestCase):
    def test_a_bad_command_line_prints_banner_message_and_usage(self):
        for arguments, status in REFUSED:
            with self.subTest(arguments=arguments):
                code, out, err = run_to_exit(*arguments)
                self.assertEqual(code, status)
                self.assertEqual(out, BANNER + MESSAGES[status] + USAGE)
                self.assertEqual(err, b"")

    @unittest.skipUnless(os.environ.get("VOSSMAREL_NO_NETWORK"), "no build without network")
    def test_a_sockets_layer_that_does_not_start_fails_before_the_command_line(self):
        for arguments in ([], ["192.0.2.7", "110"], ["x", "y", "z"]):
            with self.subTest(arguments=arguments):
                done = subprocess.run([os.environ["VOSSMAREL_NO_NETWORK"]] + arguments,
                                      capture_output=True, timeout=30)
                self.assertEqual(done.returncode, 6)
                self.assertEqual(done.stdout, BANNER)
                self.assertEqual(done.stderr, b"WSAStartup() failed")

    def test_a_port_in_use_ends_with_the_listener_messages(self):
        with socket.socket() as holder:
            holder.bind(("127.0.0.1", 0))
            holder.listen(1)
            port = holder.getsockname()[1]
            code, out, _ = run_to_exit("192.0.2.7", "110", "127.0.0.1", str(port))
        self.assertNotEqual(code, 0)
        self.assertEqual(out, BANNER + b"bind() err\nserverSocket() err\n")

    def test_a_restart_binds_again_right_after_a_session(self):
        # With the server down the relay closes the client first, which
        # leaves the relay's own port waiting in TIME_WAIT; that also keeps
        # any other program from taking it before the restart.
        down = HeldPort()
        self.addCleanup(down.close)
        port = None
        for attempt in range(2):
            relay = Relay(down.port, port=port)
            try:
                client = relay.connect()
                self.assertEqual(client.read_to_close(), b"-ERR Server not found\r\n")
                client.close()
                relay.wait_for_output(b"New Connection\nconnect() err\n")
                port = relay.port
            finally:
                relay.stop()


if __name__ == "__main__":
    unittest.main()
