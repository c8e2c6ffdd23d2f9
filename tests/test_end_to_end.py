"""The relay between a real Dovecot server and real clients: Python's poplib
and fetchmail. What a client gets through the relay must equal what it gets
directly, but for the characters the filter defuses."""

import os
import poplib
import shutil
import unittest

import dovecot
import mailbox
from clients import expected_deliveries, fetch_with_fetchmail, login
from harness import Relay

MISSING = [name for name in ("dovecot", "fetchmail") if shutil.which(name) is None]
if MISSING and os.environ.get("CI"):
    raise RuntimeError("missing in CI: " + ", ".join(MISSING))


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
        (status, said), delivered = fetch_with_fetchmail(self.relay.port)
        self.assertEqual(status, 0, said)
        self.assertEqual(delivered, expected_deliveries(self.messages))


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


if __name__ == "__main__":
    unittest.main()
