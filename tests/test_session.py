"""Sessions through the relay process against a scripted POP3 server."""

import threading
import unittest

from harness import GREETING, REFUSAL, TIMEOUT, RelayTestCase

LISTING = b"+OK 2 messages\r\n1 120\r\n2 200\r\n.\r\n"
HTML_TOP = b"+OK\r\nContent-Type: text/html; name=x.exe\r\n\r\n<img src=a>\r\n.\r\n"
RETR_SENT = (b"+OK 120 octets\r\n"
             b"Content-Type: application/octet-stream; name=setup.exe\r\n"
             b"\r\n"
             b"<IMG SRC=cid:logo><iframe src=x></iframe>\r\n"
             b"..<script>\r\n"
             b"..\r\n"
             b".\r\n")
RETR_GOT = (b"+OK 120 octets\r\n"
            b"Content-Type: application/octet-stream; name=setup_exe\r\n"
            b"\r\n"
            b"<_MG SRC=cid:logo><_frame src=x><_iframe>\r\n"
            b"..<_cript>\r\n"
            b"..\r\n"
            b".\r\n")

# What the client sends, what the server receives (None: nothing reaches it),
# what the server replies, and what the client gets back.
TRANSCRIPT = [
    (b"CAPA", None, None, REFUSAL),
    (b"", None, None, REFUSAL),
    (b"STLS", None, None, REFUSAL),
    (b"USER alice", b"USER alice", b"+OK\r\n", b"+OK\r\n"),
    (b"pass se cret ", b"pass se cret ", b"+OK logged in\r\n", b"+OK logged in\r\n"),
    (b"STAT", b"STAT", b"+OK 2 320\r\n", b"+OK 2 320\r\n"),
    (b"LIST", b"LIST", LISTING, LISTING),
    (b"LIST ", b"LIST ", LISTING, LISTING),
    (b"LIST 1", b"LIST 1", b"+OK 1 120\r\n", b"+OK 1 120\r\n"),
    (b"uidl", b"uidl", b"+OK\r\n1 a\r\n2 b\r\n.\r\n", b"+OK\r\n1 a\r\n2 b\r\n.\r\n"),
    (b"UIDL 2", b"UIDL 2", b"+OK 2 b\r\n", b"+OK 2 b\r\n"),
    (b"TOP 1 1", b"TOP 1 1", HTML_TOP, HTML_TOP),
    (b"retr 1", b"retr 1", RETR_SENT, RETR_GOT),
    (b"RETR 9", b"RETR 9", b"-ERR no such message\r\n", b"-ERR no such message\r\n"),
    (b"TOP 9 0", b"TOP 9 0", b"-ERR no such message\r\n", b"-ERR no such message\r\n"),
    (b"LIST", b"LIST", b"-ERR not now\r\n", b"-ERR not now\r\n"),
    (b"NO\rOP", b"NOOP", b"+OK\r\n", b"+OK\r\n"),
    (b"DELE 1", b"DELE 1", b"+OK deleted\r\n", b"+OK deleted\r\n"),
    (b"RSET", b"RSET", b"+OK\r\n", b"+OK\r\n"),
    (b"APOP alice 0123abcd", b"APOP alice 0123abcd", b"-ERR no\r\n", b"-ERR no\r\n"),
    (b"QUIT", b"QUIT", b"+OK bye\r\n", b"+OK bye\r\n"),
]


# Body lines that read as "." or start with "." only once a CR is dropped; a
# server sends them unstuffed, since they do not begin with ".". Each must stay
# inside its body, and reach the client stuffed so that it keeps its ".".
CR_DOT_SENT = (b"+OK\r\nbefore\r\n\r.\r\n+OK forged\r\n\r..x\r\n\r\r.more\r\n"
               + b"a" * 2047 + b"\r\n\r.\r\n"
               + b"b" * 2047 + b"\r.\r\n"
               + b"..\r\r\n.\r\n")
CR_DOT_GOT = (b"+OK\r\nbefore\r\n..\r\n+OK forged\r\n...x\r\n..more\r\n"
              + b"a" * 2047 + b"\r\n..\r\n"
              + b"b" * 2047 + b"\r\n..\r\n"
              + b"..\r\n.\r\n")
# A line whose first byte is "." and that reads "." once its CR is dropped is the end.
CR_END_SENT = b"+OK\r\nlast\r\n.\r\r\n"
CR_END_GOT = b"+OK\r\nlast\r\n.\r\n"
CR_DOT_TRANSCRIPT = [
    (b"RETR 1", b"RETR 1", CR_DOT_SENT, CR_DOT_GOT),
    (b"NOOP", b"NOOP", b"+OK noop\r\n", b"+OK noop\r\n"),
    (b"TOP 1 5", b"TOP 1 5", CR_DOT_SENT, CR_DOT_GOT),
    (b"LIST", b"LIST", b"+OK\r\n1 10\r\n\r.\r\n.\r\n", b"+OK\r\n1 10\r\n..\r\n.\r\n"),
    (b"RETR 2", b"RETR 2", CR_END_SENT, CR_END_GOT),
    (b"QUIT", b"QUIT", b"+OK bye\r\n", b"+OK bye\r\n"),
]


def play_server(transcript, greeting=GREETING, dribble=False):
    """A server script that answers each forwarded command as the table says,
    a byte per send when dribble is set."""
    received = []

    def script(peer):
        peer.send_line(greeting)
        for _, expected, reply, _ in transcript:
            if expected is None:
                continue
            received.append(peer.read_line())
            if dribble:
                peer.dribble(reply)
            else:
                peer.send(reply)
        received.append(peer.read_to_close())

    return script, received


def expected_trace(transcript):
    trace = b"New Connection\n"
    for sent, expected, reply, _ in transcript:
        trace += b"Tx: " + sent.replace(b"\r", b"") + b"\r\n"
        if expected is not None:
            trace += b"Rx " + reply.split(b"\r\n", 1)[0] + b"\r\n"
    return trace + b"Bye bye\n"


class SessionTest(RelayTestCase):
    def run_transcript(self, transcript, dribble=False):
        script, received = play_server(transcript, dribble=dribble)
        self.server.serve(script)
        client = self.relay.connect()
        self.assertEqual(client.read_line(), GREETING)
        for sent, _, _, got in transcript:
            client.send_line(sent)
            self.assertEqual(client.read_exactly(got), got, sent)
        client.close()
        self.server.finish()
        forwarded = [expected for _, expected, _, _ in transcript if expected is not None]
        self.assertEqual(received, forwarded + [b""])
        return self.trace_until(b"Bye bye\n")

    def test_dialogue_is_relayed_refused_and_filtered_as_the_table_says(self):
        trace = self.run_transcript(TRANSCRIPT)
        self.assertEqual(trace, expected_trace(TRANSCRIPT))

    def test_a_line_that_reads_as_the_end_only_without_its_cr_stays_in_the_body(self):
        for dribble in (False, True):
            with self.subTest(dribble=dribble):
                self.setUp()
                trace = self.run_transcript(CR_DOT_TRANSCRIPT, dribble=dribble)
                self.assertEqual(trace, expected_trace(CR_DOT_TRANSCRIPT))

    def test_long_lines_come_in_pieces_and_never_end_the_body_early(self):
        sent = (b"+OK\r\n" + b"a" * 5000 + b"\r\n" + b"b" * 2047 + b"\r\n"
                + b"c" * 2047 + b".\r\n" + b"d" * 2047 + b"..x\r\n" + b"\x00after nul\r\n"
                + b"x" * 2045 + b"<img>\r\n.\r\n")
        got = (b"+OK\r\n" + b"a" * 2047 + b"\r\n" + b"a" * 2047 + b"\r\n" + b"a" * 906 + b"\r\n"
               + b"b" * 2047 + b"\r\n" + b"c" * 2047 + b"\r\n..\r\n" + b"d" * 2047
               + b"\r\n...x\r\n" + b"\r\n" + b"x" * 2045 + b"<i\r\nmg>\r\n.\r\n")
        self.run_transcript([(b"RETR 1", b"RETR 1", sent, got),
                             (b"QUIT", b"QUIT", b"+OK\r\n", b"+OK\r\n")])

    def test_pipelined_commands_are_answered_one_at_a_time_in_order(self):
        transcript = [(b"STAT", b"STAT", b"+OK 2 320\r\n", b"+OK 2 320\r\n"),
                      (b"CAPA", None, None, REFUSAL),
                      (b"LIST", b"LIST", LISTING, LISTING),
                      (b"RETR 1", b"RETR 1", RETR_SENT, RETR_GOT),
                      (b"QUIT", b"QUIT", b"+OK\r\n", b"+OK\r\n")]
        script, received = play_server(transcript)
        self.server.serve(script)
        client = self.relay.connect()
        self.assertEqual(client.read_line(), GREETING)
        client.send(b"".join(sent + b"\r\n" for sent, _, _, _ in transcript))
        expected = b"".join(got for _, _, _, got in transcript)
        self.assertEqual(client.read_exactly(expected), expected)
        client.close()
        self.server.finish()
        self.assertEqual(received, [b"STAT", b"LIST", b"RETR 1", b"QUIT", b""])

    def test_a_body_dribbled_line_by_line_reaches_the_client_line_by_line(self):
        first_seen = threading.Event()

        def then(peer):
            peer.send(b"+OK\r\nfirst line\r\n")
            if first_seen.wait(TIMEOUT):
                peer.send(b"second line\r\n.\r\n")
            peer.read_to_close()

        self.server.serve_one_command(then)
        client = self.relay.client_sending(b"RETR 1")
        self.assertEqual(client.read_line(), b"+OK")
        self.assertEqual(client.read_line(), b"first line")
        first_seen.set()
        self.assertEqual(client.read_exactly(b"second line\r\n.\r\n"), b"second line\r\n.\r\n")
        client.close()
        self.server.finish()

    def test_clients_are_served_one_after_another(self):
        second_greeting = b"+OK second"
        self.server.serve(play_server([])[0])
        first = self.relay.connect()
        self.assertEqual(first.read_line(), GREETING)
        second = self.relay.connect()
        second.sock.settimeout(1.0)
        with self.assertRaises(OSError):
            second.read_line()
        second.sock.settimeout(TIMEOUT)
        first.close()
        self.server.finish()
        self.server.serve(play_server([], greeting=second_greeting)[0])
        self.assertEqual(second.read_line(), second_greeting)
        second.close()
        self.server.finish()


if __name__ == "__main__":
    unittest.main()
