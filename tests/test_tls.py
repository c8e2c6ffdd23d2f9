"""The relay in front of a POP3 server that takes only TLS, with stunnel
beside it in client mode as the README shows: the repository's stunnel
configurations with only the addresses and the certificate filled in, a
Dovecot that requires TLS, and real clients through the whole chain."""

import os
import poplib
import shutil
import ssl
import subprocess
import tempfile
import unittest

import dovecot
import mailbox
from clients import expected_deliveries, fetch_with_fetchmail, login
from harness import TIMEOUT, Relay, start_listening

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMPLICIT_TLS = os.path.join(ROOT, "stunnel", "implicit-tls.conf")
STARTTLS = os.path.join(ROOT, "stunnel", "starttls.conf")
# The name the test certificate is issued to.
SERVER_NAME = "localhost"

MISSING = [name for name in ("dovecot", "stunnel", "openssl", "fetchmail")
           if shutil.which(name) is None]
if MISSING and os.environ.get("CI"):
    raise RuntimeError("missing in CI: " + ", ".join(MISSING))


def make_certificate(folder):
    """A self-signed certificate for SERVER_NAME: (its file, its key's file)."""
    certificate = os.path.join(folder, "server.pem")
    key = os.path.join(folder, "server.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=" + SERVER_NAME, "-keyout", key, "-out", certificate],
                   check=True, capture_output=True, timeout=60)
    return certificate, key


def filled_in(config, accept_port, server_port, certificate, server_name):
    """The configuration's text with the addresses, the trusted certificate
    and the expected server name filled in, and nothing else changed."""
    values = {"accept": "127.0.0.1:%d" % accept_port, "connect": "127.0.0.1:%d" % server_port,
              "CAfile": certificate, "checkHost": server_name}
    lines = []
    with open(config) as text:
        for line in text:
            key = line.split("=", 1)[0].strip()
            if not line.startswith(";") and "=" in line and key in values:
                line = "%s = %s\n" % (key, values.pop(key))
            lines.append(line)
    assert not values, "the configuration lacks %s" % sorted(values)
    return "".join(lines)


class Stunnel:
    """stunnel in the foreground on a free port, running one of the
    repository's configurations; its own files live in folder."""

    def __init__(self, folder, config, server_port, certificate, server_name=SERVER_NAME):
        # Running it in the foreground without a pid file is the test's own
        # business, and those options do not exist on Windows: they wrap the
        # configuration instead of entering it.
        self.folder = tempfile.mkdtemp(dir=folder, prefix="stunnel-")
        services = os.path.join(self.folder, "services")
        os.mkdir(services)
        self.main = os.path.join(self.folder, "stunnel.conf")
        with open(self.main, "w") as out:
            out.write("foreground = yes\npid =\ninclude = %s\n" % services)
        self.log = os.path.join(self.folder, "stunnel.log")

        def launch(port):
            with open(os.path.join(services, "service.conf"), "w") as out:
                out.write(filled_in(config, port, server_port, certificate, server_name))
            # A file, not a pipe: stunnel keeps what it inherits open.
            with open(self.log, "w") as log:
                return subprocess.Popen(["stunnel", self.main], stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=subprocess.STDOUT)

        self.process, self.port = start_listening(
            launch, port_taken=lambda _: "Address already in use" in self.said(),
            owners=lambda process: [process.pid])

    def said(self):
        with open(self.log) as log:
            return log.read()

    def stop(self):
        self.process.kill()
        self.process.wait(timeout=TIMEOUT)


@unittest.skipIf(MISSING, "missing: " + ", ".join(MISSING))
class TlsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="vossmarel-tls-")
        cls.stops = []
        try:
            cls.certificate, key = make_certificate(cls.folder)
            cls.messages = mailbox.realistic_mailbox()
            cls.server = dovecot.Dovecot(cls.messages, certificate=(cls.certificate, key))
            cls.stops.append(cls.server.stop)
            cls.direct = cls.fetch_directly()
            cls.relays = {}
            for name, config, port in (("implicit TLS", IMPLICIT_TLS, cls.server.tls_port),
                                       ("STLS", STARTTLS, cls.server.port)):
                cls.relays[name] = cls.start_chain(config, port)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        for stop in reversed(cls.stops):
            stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def start_chain(cls, config, server_port, server_name=SERVER_NAME):
        """stunnel with config, and the relay in front of it."""
        tunnel = Stunnel(cls.folder, config, server_port, cls.certificate, server_name)
        cls.stops.append(tunnel.stop)
        relay = Relay(tunnel.port)
        cls.stops.append(relay.stop)
        return relay

    @classmethod
    def fetch_directly(cls):
        """Every message's lines as poplib reads them from Dovecot in TLS."""
        context = ssl.create_default_context(cafile=cls.certificate)
        context.check_hostname = False
        client = poplib.POP3_SSL("127.0.0.1", cls.server.tls_port, context=context,
                                 timeout=TIMEOUT)
        client.user(dovecot.USER)
        client.pass_(dovecot.PASSWORD)
        lines = [client.retr(number)[1] for number in range(1, len(cls.messages) + 1)]
        client.quit()
        return lines

    def test_poplib_fetches_every_message_through_the_chain(self):
        for name, relay in self.relays.items():
            with self.subTest(name):
                client = login(relay.port)
                for number, lines in enumerate(self.direct, 1):
                    self.assertEqual(client.retr(number)[1], mailbox.through_relay(lines))
                self.assertTrue(client.quit().startswith(b"+OK"))

    def test_fetchmail_delivers_every_message_through_the_chain(self):
        for name, relay in self.relays.items():
            with self.subTest(name):
                (status, said), delivered = fetch_with_fetchmail(relay.port)
                self.assertEqual(status, 0, said)
                self.assertEqual(delivered, expected_deliveries(self.messages))

    def test_every_login_through_the_chain_was_made_in_tls(self):
        for relay in self.relays.values():
            login(relay.port).quit()
        logins = [line for line in self.server.log().splitlines() if "Login:" in line]
        self.assertTrue(logins)
        for line in logins:
            self.assertRegex(line, r", TLS(,|$)")

    def test_a_server_with_another_name_is_refused_before_anything_reaches_it(self):
        relay = self.start_chain(IMPLICIT_TLS, self.server.tls_port, "pop.example.net")
        log_before = len(self.server.log())
        client = relay.connect()
        # An eager client: its login must not leave the relay without a greeting.
        client.send(b"USER %s\r\nPASS %s\r\n" % (dovecot.USER.encode(), dovecot.PASSWORD.encode()))
        self.assertEqual(client.read_to_close(), b"")
        client.close()
        # stunnel may close the connection or reset it.
        end = relay.wait_for_output(b"outsock rx error")
        self.assertRegex(bytes(relay.output[:end]),
                         rb"\r\n\r\nNew Connection\n(Error in recvLine\(\)\n)?outsock rx error$")
        self.assertNotIn("Login:", self.server.log()[log_before:])

    def test_the_readme_shows_each_configuration_as_it_stands(self):
        with open(os.path.join(ROOT, "README.md")) as readme:
            text = readme.read()
        for config in (IMPLICIT_TLS, STARTTLS):
            with open(config) as lines:
                self.assertIn("".join("    " + line if line.strip() else line for line in lines),
                              text, config)


if __name__ == "__main__":
    unittest.main()
