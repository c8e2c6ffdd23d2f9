"""The relay's main job on a throwaway setup, run by scripts/demo once the
relay is built: starts a Dovecot POP3 server on loopback with a sample
mailbox, fetches a message through the relay with Python's poplib, and shows
the relay's trace and the message as stored beside the message as received."""

import difflib
import os
import poplib
import signal
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests"))

import dovecot  # noqa: E402
import mailbox  # noqa: E402
from harness import Relay  # noqa: E402


def main():
    # A termination must still reach the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    server = dovecot.Dovecot([mailbox.HTML_MESSAGE])
    relay = None
    try:
        print("== Dovecot on 127.0.0.1:%d" % server.port)
        relay = Relay(server.port)
        print("== relay: vossmarel 127.0.0.1 %d 127.0.0.1 %d" % (server.port, relay.port))
        client = poplib.POP3("127.0.0.1", relay.port, timeout=30)
        client.user(dovecot.USER)
        client.pass_(dovecot.PASSWORD)
        received = client.retr(1)[1]
        client.quit()
        relay.wait_for_output(b"Bye bye\n")
        print("== the relay's console")
        sys.stdout.write(relay.output.decode("latin-1").replace("\r\n", "\n"))
        stored = mailbox.HTML_MESSAGE.decode("latin-1").split("\r\n")[:-1]
        got = [line.decode("latin-1") for line in received]
        print("== the message as stored (-) and as received through the relay (+)")
        for line in difflib.unified_diff(stored, got, "stored", "received", lineterm="", n=0):
            print(line)
    finally:
        # A second interrupt must not cut the clean-up short.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if relay is not None:
            relay.stop()
        server.stop()
        print("== stopped the relay and Dovecot")


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(130)
