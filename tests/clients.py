"""Real POP3 clients for the end-to-end tests: Python's poplib and fetchmail,
logging in as the throwaway Dovecot's user, and what they must receive of a
mailbox through the relay."""

import os
import poplib
import shutil
import subprocess
import tempfile

import dovecot
import mailbox
from harness import TIMEOUT

# Lines through the relay can be longer than poplib's default limit.
poplib._MAXLINE = 1 << 20


def login(port):
    """A poplib client logged in on 127.0.0.1:port."""
    client = poplib.POP3("127.0.0.1", port, timeout=TIMEOUT * 4)
    client.user(dovecot.USER)
    client.pass_(dovecot.PASSWORD)
    return client


def unfold_subject(message):
    for line in message.split(b"\n"):
        if line.lower().startswith(b"subject:"):
            return line.rstrip(b"\r")
    return b""


def strip_received(message):
    """The message without the Received header that fetchmail puts on top."""
    lines = message.split(b"\n")
    assert lines[0].startswith(b"Received:"), lines[0]
    rest = 1
    while lines[rest][:1] in (b" ", b"\t"):
        rest += 1
    return b"\n".join(lines[rest:])


def expected_deliveries(messages):
    """What fetchmail must store of each message fetched through the relay,
    by subject: the lines the filter oracle gives, each ended by LF."""
    expected = {}
    for message in messages:
        lines = message.split(b"\r\n")[:-1]
        expected[unfold_subject(message)] = b"".join(
            line + b"\n" for line in mailbox.through_relay(lines))
    return expected


def fetch_with_fetchmail(port):
    """Runs fetchmail once against 127.0.0.1:port, keeping the messages on
    the server: (its exit status and output, the messages it delivered by
    subject, without its Received header)."""
    home = tempfile.mkdtemp(prefix="vossmarel-fetchmail-")
    try:
        rc = os.path.join(home, "fetchmailrc")
        with open(rc, "w") as out:
            out.write("set no bouncemail\n"
                      "poll 127.0.0.1 protocol pop3 port %d user \"%s\" password \"%s\"\n"
                      "  sslproto '' keep no rewrite mda \"sh -c 'cat > %s/msg.$$'\"\n"
                      % (port, dovecot.USER, dovecot.PASSWORD, home))
        os.chmod(rc, 0o600)
        environment = dict(os.environ, HOME=home, FETCHMAILHOME=home)
        # Run as root, fetchmail would lock /var/run, shared with tests running beside this one.
        done = subprocess.run(["fetchmail", "-f", rc, "--nosyslog", "--all",
                               "--pidfile", os.path.join(home, "fetchmail.pid")],
                              env=environment, capture_output=True, timeout=TIMEOUT * 6)
        delivered = {}
        for name in os.listdir(home):
            if name.startswith("msg."):
                with open(os.path.join(home, name), "rb") as message:
                    text = message.read()
                delivered[unfold_subject(text)] = strip_received(text)
        return (done.returncode, done.stdout + done.stderr), delivered
    finally:
        shutil.rmtree(home, ignore_errors=True)
