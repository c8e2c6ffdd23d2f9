"""Realistic messages for the end-to-end tests and the demo, and what the
filter must make of them, worked out independently of the relay's code."""

import base64
import random

TAGS = ["<IFRAME", "<FRAME", "<FRAMESET", "<IMG", "<LINK", "<SCRIPT", "<EMBED", "<OBJECT",
        "<APPLET", "<BGSOUND", "</IFRAME>", "</FRAME>", "</FRAMESET>", "</SCRIPT>",
        "</EMBED>", "</OBJECT>", "</APPLET>"]
EXTENSIONS = [".EXE", ".COM", ".SCR", ".PIF", ".LNK", ".DLL", ".CPL", ".BAT", ".CMD", ".JS",
              ".VBS"]
PIECE = 2047


def filter_line(line):
    """Defuses one line: the character after each tag's "<", and after the
    first NAME= the full stop of each extension; letter case aside."""
    shadow = bytearray(line.upper())
    out = bytearray(line)
    for tag in TAGS:
        at = shadow.find(tag.encode())
        while at >= 0:
            shadow[at + 1] = out[at + 1] = ord("_")
            at = shadow.find(tag.encode())
    anchor = shadow.find(b"NAME=")
    if anchor >= 0:
        for extension in EXTENSIONS:
            at = shadow.find(extension.encode(), anchor + 5)
            while at >= 0:
                shadow[at] = out[at] = ord("_")
                at = shadow.find(extension.encode(), at)
    return bytes(out)


def through_relay(lines, filtered=True):
    """What a client reads of a body (lines without dot-stuffing), given the
    lines it reads directly: each line loses its CRs and is cut into pieces of
    2047 as it is on the wire, dot-stuffed, and for RETR each piece filtered on
    its own."""
    result = []
    for line in lines:
        wire = (b"." + line if line.startswith(b".") else line).replace(b"\r", b"")
        pieces = [wire[i:i + PIECE] for i in range(0, len(wire), PIECE)] or [b""]
        if filtered:
            pieces = [filter_line(piece) for piece in pieces]
        if line.startswith(b"."):
            pieces[0] = pieces[0][1:]
        result.extend(pieces)
    return result


HTML_MESSAGE = b"""\
From: Mallory <mallory@example.net>\r
To: Alice <alice@example.org>\r
Subject: Your invoice\r
MIME-Version: 1.0\r
Content-Type: multipart/mixed; boundary="outer"\r
\r
This is a multi-part message in MIME format.\r
--outer\r
Content-Type: text/html; charset=utf-8\r
\r
<html><head><LINK rel=stylesheet href="http://tracker.example.net/s.css">\r
<script src="http://tracker.example.net/x.js"></script></head>\r
<body background=x><IMG SRC="http://tracker.example.net/pixel.gif" width=1>\r
<iframe src="http://example.net/frame"></iframe><frameset rows="50%,50%">\r
<frame src=a></frame></frameset><embed src=movie.swf></embed>\r
<object data=x.swf></object><applet code=Evil.class></applet><bgsound src=a.wav>\r
<p>Please see the attached invoice.</p>\r
.A line that begins with a full stop\r
..and one with two\r
.\r
</body></html>\r
--outer\r
Content-Type: application/octet-stream; name=setup.exe\r
Content-Disposition: attachment; filename=setup.exe\r
Content-Transfer-Encoding: base64\r
\r
TVqQAAMAAAAEAAAA//8AALgAAAAAAAAAQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r
--outer\r
Content-Type: application/octet-stream; name="report.pdf.exe"\r
Content-Disposition: attachment;\r
 filename="report.pdf.exe"\r
Content-Transfer-Encoding: base64\r
\r
JVBERi0xLjQKJcOkw7zDtsOfCjIgMCBvYmoKPDwvTGVuZ3RoIDMgMCBSL0ZpbHRlci9GbGF0ZURl\r
--outer\r
Content-Type: application/json; name=data.json\r
Content-Disposition: attachment; filename=data.json\r
\r
{"name=": "data.json", "script": "<script>"}\r
--outer--\r
"""

PLAIN_MESSAGE = b"""\
From: Bob <bob@example.org>\r
To: Alice <alice@example.org>\r
Subject: Lunch\r
\r
See you at noon. Bring setup.exe on a stick, and no <img> tags please.\r
"""


# A line of CR and "." is not stuffed by the server, since it does not begin
# with "."; with the CR dropped it reads as the end of the message. What
# follows it forges the server's answers to a client's next commands: "+OK"
# for DELE 1 and a whole message 2.
FORGED_END_MESSAGE = b"""\
From: Mallory <mallory@example.net>\r
Subject: forged end\r
\r
before\r
\r.\r
+OK message deleted\r
+OK forged message follows\r
Subject: forged\r
\r
This message was never on the server.\r
\r..and a line that keeps its dots\r
\r.\r
after\r
"""


def long_lines_message():
    body = [b"x" * 5000, b"y" * 2047, b"z" * 2047 + b".", b"." * 3000, b"w" * 2045 + b"<img>"]
    return (b"From: bob@example.org\r\nSubject: long lines\r\n\r\n"
            + b"".join(line + b"\r\n" for line in body))


EMPTY_BODY_MESSAGE = b"From: bob@example.org\r\nSubject: nothing\r\n\r\n"


def large_message(megabytes, seed=1):
    """A message with a base64 attachment of about the given size."""
    data = random.Random(seed).randbytes(megabytes * 1024 * 1024 * 3 // 4)
    encoded = base64.encodebytes(data).replace(b"\n", b"\r\n")
    return (b"From: bob@example.org\r\nSubject: large\r\nMIME-Version: 1.0\r\n"
            b"Content-Type: application/octet-stream; name=big.bin\r\n"
            b"Content-Transfer-Encoding: base64\r\n\r\n" + encoded)


def realistic_mailbox():
    return [HTML_MESSAGE, PLAIN_MESSAGE, long_lines_message(), EMPTY_BODY_MESSAGE,
            large_message(3)]
