"""A throwaway Dovecot POP3 server on loopback, with a mailbox of our own.

Nothing of the system's configuration is used or touched: the configuration,
password file, Maildir, state and log all live in one temporary folder."""

import os
import grp
import pwd
import shutil
import socket
import subprocess
import tempfile
import time

from harness import PORT_ATTEMPTS, free_port

USER = "alice"
PASSWORD = "secret"

CONFIG = """\
base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
instance_name = vossmarel-test-{port}
protocols = pop3
listen = 127.0.0.1
{ssl}
auth_mechanisms = plain
mail_location = maildir:~/Maildir
first_valid_uid = {uid}
last_valid_uid = 0
first_valid_gid = {gid}
default_internal_user = {internal_user}
default_internal_group = {internal_group}
default_login_user = {login_user}
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {root}/passwd
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={root}/home
}}
service pop3-login {{
  chroot =
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
{tls_listener}
}}
service anvil {{
  chroot =
}}
service stats {{
  unix_listener stats-reader {{
    user = {internal_user}
  }}
  unix_listener stats-writer {{
    user = {internal_user}
  }}
}}
"""

PLAIN = """\
ssl = no
disable_plaintext_auth = no"""

# With TLS the plain listener serves only after STLS.
TLS = """\
ssl = required
ssl_cert = <{certificate}
ssl_key = <{key}"""

TLS_LISTENER = """\
  inet_listener pop3s {{
    address = 127.0.0.1
    port = {port}
    ssl = yes
  }}"""


def available():
    return shutil.which("dovecot") is not None and shutil.which("doveadm") is not None


def mail_owner():
    """Dovecot refuses to serve mail as root: as root, mail belongs to nobody."""
    if os.getuid() != 0:
        return os.getuid(), os.getgid(), pwd.getpwuid(os.getuid()).pw_name
    nobody = pwd.getpwnam("nobody")
    return nobody.pw_uid, nobody.pw_gid, nobody.pw_name


class Dovecot:
    """Serves the given messages (bytes with CR LF line ends) to USER; with a
    certificate (its file and its key's), only in TLS: on port after STLS,
    and on tls_port from the first byte."""

    def __init__(self, messages, certificate=None):
        self.certificate = certificate
        self.tls_port = None
        self.root = tempfile.mkdtemp(prefix="vossmarel-dovecot-")
        os.chmod(self.root, 0o755)
        self.config = os.path.join(self.root, "dovecot.conf")
        uid, gid, _ = mail_owner()
        with open(os.path.join(self.root, "passwd"), "w") as out:
            out.write("%s:{PLAIN}%s\n" % (USER, PASSWORD))
        self._fill_maildir(messages, uid, gid)
        try:
            self._start()
            self._wait_until_listening()
        except BaseException:
            self.stop()
            raise

    def _start(self):
        """Starts Dovecot on a free port. It binds before it returns, so a
        port taken in the meantime fails the start, and it is tried again on
        another."""
        for _ in range(PORT_ATTEMPTS):
            self.port = free_port()
            if self.certificate is not None:
                self.tls_port = free_port()
            self._write_config()
            # A file, not a pipe: the daemon keeps what it inherits open.
            with open(os.path.join(self.root, "start.log"), "w+") as output:
                done = subprocess.run(["dovecot", "-c", self.config], stdout=output,
                                      stderr=subprocess.STDOUT, timeout=30)
                output.seek(0)
                said = output.read()
            if done.returncode == 0:
                return
            if "Address already in use" not in said:
                raise RuntimeError("Dovecot did not start:\n" + said)
        raise RuntimeError("Dovecot found no free port in %d attempts" % PORT_ATTEMPTS)

    def _write_config(self):
        uid, gid, owner = mail_owner()
        if os.getuid() == 0:
            internal, group, login = "dovecot", "dovecot", "dovenull"
        else:
            internal = login = owner
            group = grp.getgrgid(os.getgid()).gr_name
        ssl, tls_listener = PLAIN, ""
        if self.certificate is not None:
            ssl = TLS.format(certificate=self.certificate[0], key=self.certificate[1])
            tls_listener = TLS_LISTENER.format(port=self.tls_port)
        with open(self.config, "w") as out:
            out.write(CONFIG.format(root=self.root, port=self.port, uid=uid, gid=gid,
                                    internal_user=internal, internal_group=group,
                                    login_user=login, ssl=ssl, tls_listener=tls_listener))

    def _fill_maildir(self, messages, uid, gid):
        home = os.path.join(self.root, "home")
        maildir = os.path.join(home, "Maildir")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(maildir, sub))
        stamp = int(time.time()) - len(messages)
        for number, message in enumerate(messages):
            # Maildir keeps LF line ends; Dovecot sends them as CR LF.
            name = "%d.M%dP1.vossmarel:2," % (stamp + number, number)
            with open(os.path.join(maildir, "cur", name), "wb") as out:
                out.write(message.replace(b"\r\n", b"\n"))
        if os.getuid() != 0:
            return
        for folder, _, files in os.walk(home):
            os.chown(folder, uid, gid)
            for name in files:
                os.chown(os.path.join(folder, name), uid, gid)

    def _wait_until_listening(self):
        deadline = time.monotonic() + 30
        while True:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=5) as probe:
                    if probe.recv(100).startswith(b"+OK"):
                        return
            except OSError:
                pass
            if time.monotonic() > deadline:
                raise RuntimeError("Dovecot did not start; its log:\n" + self.log())
            time.sleep(0.1)

    def log(self):
        try:
            with open(os.path.join(self.root, "dovecot.log")) as log:
                return log.read()
        except OSError:
            return "(no log)"

    def stop(self):
        subprocess.run(["doveadm", "-c", self.config, "stop"], timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # doveadm stop returns before the master has gone; wait for its pid file to go.
        pid_file = os.path.join(self.root, "run", "master.pid")
        deadline = time.monotonic() + 15
        while os.path.exists(pid_file) and time.monotonic() < deadline:
            time.sleep(0.05)
        shutil.rmtree(self.root, ignore_errors=True)
