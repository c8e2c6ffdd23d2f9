"""The relay between a real Dovecot server and real clients: Python's poplib
and fetchmail. What a client gets through the relay must equal what it gets
directly, but for the characters the filter defuses."""

import os
import poplib
import shutil
import subprocess
import tempfile
import unittest

import dovecot
import mailbox
from harness import RUNNER, TIMEOUT, Relay

# Lines through the relay can be longer than poplib's default limit.
poplib._MAXLINE = 1 << 20

MISSING = [name for name in ("dovecot", "fetchmail") if shutil.which(name) is None]
if MISSING and os.environ.get("CI"):
    raise RuntimeError("missing in CI: " + ", ".join(MISSING))


def login(port):
    client = poplib.POP3("127.0.0.1", port, timeout=TIMEOUT * 4)
    client.user(dovecot.USER)
    client.pass_(dovecot.PASSWORD)
    return client


def unfold_subject(message):
    for line in message.split(b"\n"):
        if line.lower().startswith(b"subject:"):
            return line.rstrip(b"\r")
    return b""


@unittest.skipIf("dovecot" in MISSING, "Dovecot (dovecot-pop3d) is not installed")
class EndToEndTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.messages = mailbox.realistic_mailbox()
        cls.server = dovecot.Dovecot(cls.messages)
        try:
            cls.relay = Relay(cls.server.port)
        except Exception:
            cls.server.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.relay.stop()
        cls.server.stop()

    def tearDown(self):
        self.assertTrue(self.relay.alive(), "the relay died")

    def test_poplib_sees_the_server_through_the_relay_with_bodies_defused(self):
        direct = login(self.server.port)
        relayed = login(self.relay.port)
        try:
            count, size = direct.stat()
            self.assertEqual(relayed.stat(), (count, size))
            self.assertEqual(relayed.list()[1], direct.list()[1])
            self.assertEqual(relayed.uidl()[1], direct.uidl()[1])
            for number in range(1, count + 1):
                with self.subTest(message=number):
                    self.assertEqual(relayed.uidl(number), direct.uidl(number))
                    self.assertEqual(relayed.list(number), direct.list(number))
                    self.assertEqual(relayed.top(number, 3)[1],
                                     mailbox.through_relay(direct.top(number, 3)[1], False))
                    status, lines, _ = direct.retr(number)
                    self.assertEqual(relayed.retr(number)[:2],
                                     (status, mailbox.through_relay(lines)))
            with self.assertRaises(poplib.error_proto) as refused:
                relayed._shortcmd("CAPA")
            self.assertEqual(refused.exception.args[0],
                             b"-ERR I don't understand this command !!!")
            self.assertTrue(relayed.dele(1).startswith(b"+OK"))
            self.assertEqual(relayed.stat()[0], count - 1)
            self.assertTrue(relayed.rset().startswith(b"+OK"))
            self.assertEqual(relayed.stat(), (count, size))
            self.assertTrue(relayed.quit().startswith(b"+OK"))
        finally:
            direct.quit()
        self.relay.wait_for_output(b"Tx: QUIT\r\nRx +OK Logging out.\r\nBye bye\n")

    def test_the_html_message_comes_out_with_every_listed_tag_and_name_defused(self):
        relayed = login(self.relay.port)
        lines = relayed.retr(1)[1]
        relayed.quit()
        text = b"\n".join(lines)
        for tag in mailbox.TAGS:
            self.assertNotIn(tag.encode(), text.upper())
        for name in (b"setup.exe", b"report.pdf.exe", b"data.json"):
            self.assertNotIn(name, text)
        for name in (b"name=setup_exe", b"filename=\"report.pdf_exe\"", b"name=data_json"):
            self.assertIn(name, text)

    @unittest.skipIf("fetchmail" in MISSING, "fetchmail is not installed")
    def test_fetchmail_delivers_every_message_defused_and_otherwise_intact(self):
        home = tempfile.mkdtemp(prefix="vossmarel-fetchmail-")
        try:
            delivered = self.fetch_with_fetchmail(home)
        finally:
            shutil.rmtree(home, ignore_errors=True)
        expected = {}
        for message in self.messages:
            lines = message.split(b"\r\n")[:-1]
            body = b"".join(line + b"\n" for line in mailbox.through_relay(lines))
            expected[unfold_subject(message)] = body
        self.assertEqual(sorted(delivered), sorted(expected))
        for subject, body in expected.items():
            self.assertEqual(delivered[subject], body, subject)

    def fetch_with_fetchmail(self, home):
        rc = os.path.join(home, "fetchmailrc")
        with open(rc, "w") as out:
            out.write("set no bouncemail\n"
                      "poll 127.0.0.1 protocol pop3 port %d user \"%s\" password \"%s\"\n"
                      "  sslproto '' keep no rewrite mda \"sh -c 'cat > %s/msg.$$'\"\n"
                      % (self.relay.port, dovecot.USER, dovecot.PASSWORD, home))
        os.chmod(rc, 0o600)
        environment = dict(os.environ, HOME=home, FETCHMAILHOME=home)
        # Run as root, fetchmail would lock /var/run, shared with tests running beside this one.
        done = subprocess.run(["fetchmail", "-f", rc, "--nosyslog", "--all",
                               "--pidfile", os.path.join(home, "fetchmail.pid")], env=environment,
                              capture_output=True, timeout=TIMEOUT * 6)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        delivered = {}
        for name in os.listdir(home):
            if name.startswith("msg."):
                with open(os.path.join(home, name), "rb") as message:
                    text = message.read()
                delivered[unfold_subject(text)] = strip_received(text)
        return delivered


@unittest.skipIf("dovecot" in MISSING, "Dovecot (dovecot-pop3d) is not installed")
class ForgedEndTest(unittest.TestCase):
    """A message that reads as ended early must not put the dialogue out of
    step: fetched, deleted and followed by the next fetch in poplib's order,
    only the deleted message may be gone from the server."""

    def setUp(self):
        self.messages = [mailbox.FORGED_END_MESSAGE, mailbox.PLAIN_MESSAGE,
                         mailbox.EMPTY_BODY_MESSAGE]
        self.server = dovecot.Dovecot(self.messages)
        self.addCleanup(self.server.stop)
        self.relay = Relay(self.server.port)
        self.addCleanup(self.relay.stop)

    def test_fetch_delete_fetch_quit_removes_only_the_deleted_message(self):
        direct = login(self.server.port)
        first = direct.retr(1)[1]
        second = direct.retr(2)[1]
        uids = direct.uidl()[1]
        direct.quit()
        self.assertIn(b"\r.", first)

        relayed = login(self.relay.port)
        self.assertEqual(relayed.retr(1)[1], mailbox.through_relay(first))
        self.assertTrue(relayed.dele(1).startswith(b"+OK"))
        self.assertEqual(relayed.retr(2)[1], mailbox.through_relay(second))
        self.assertTrue(relayed.quit().startswith(b"+OK"))

        after = login(self.server.port)
        try:
            remaining = [uid.split()[1] for uid in after.uidl()[1]]
        finally:
            after.quit()
        self.assertEqual(remaining, [uid.split()[1] for uid in uids[1:]])


def strip_received(message):
    """The message without the Received header that fetchmail puts on top."""
    lines = message.split(b"\n")
    assert lines[0].startswith(b"Received:"), lines[0]
    rest = 1
    while lines[rest][:1] in (b" ", b"\t"):
        rest += 1
    return b"\n".join(lines[rest:])


if __name__ == "__main__":
    unittest.main()
