#!/usr/bin/python3
"""Loopback FTP server for the transfer tests.

Serves --root on 127.0.0.1 at a free port, prints "PORT <n>" on its first
output line, and appends one line per login ("LOGIN <user>") and per command
("CMD <line>", passwords hidden) to --log, so a test can count logins on the
server side. Switches make it misbehave on purpose: a canned listing, a PASV
reply with another address, a denied directory, a control connection that is
dropped at a given command, transfers that break off after N bytes.
Only ever binds and advertises loopback addresses.
"""

import argparse
import errno
import logging
import os
import sys
import time
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import ActiveDTP, FTPHandler
from pyftpdlib.servers import FTPServer

FULL_PERMS = "elradfmwMT"


class CutFile:
    """File wrapper that fails with an I/O error once `limit` bytes went through,
    or with `stall` goes silent there (the whole server stops until killed)."""

    def __init__(self, f, limit, stall=False):
        self._f = f
        self._left = limit
        self._stall = stall

    def read(self, n=-1):
        if self._left <= 0:
            if self._stall:
                time.sleep(3600)
            raise OSError(errno.EIO, "simulated read failure")
        if n < 0 or n > self._left:
            n = self._left
        data = self._f.read(n)
        self._left -= len(data)
        return data

    def write(self, data):
        if len(data) > self._left:
            raise OSError(errno.ENOSPC, "No space left on device")
        self._left -= len(data)
        return self._f.write(data)

    def __getattr__(self, name):
        return getattr(self._f, name)


class TestAuthorizer(DummyAuthorizer):
    """Accepts further passwords for an account named twice on the command line."""

    def __init__(self):
        super().__init__()
        self.more_passwords = {}

    def validate_authentication(self, username, password, handler):
        if password in self.more_passwords.get(username, ()):
            return
        super().validate_authentication(username, password, handler)


class TestFS(AbstractedFS):
    retr_cut = None
    retr_stall = False
    stor_cut = None

    def open(self, filename, mode):
        f = super().open(filename, mode)
        if "r" in mode and self.retr_cut is not None:
            return CutFile(f, self.retr_cut, self.retr_stall)
        if "w" in mode and self.stor_cut is not None:
            return CutFile(f, self.stor_cut)
        return f


class TestActiveDTP(ActiveDTP):
    """pyftpdlib keeps the connector of an active data connection after handing
    its socket to the data channel, and closes it at the next PORT or at QUIT:
    by then the descriptor may belong to another client's control connection,
    which is then never read again. Forget the connector once it is done."""

    def handle_connect(self):
        channel = self.cmd_channel
        super().handle_connect()
        if channel._dtp_connector is self:
            channel._dtp_connector = None


class TestHandler(FTPHandler):
    log_path = None
    close_on = set()
    hang_on = set()
    list_file = None
    mlsd_file = None

    def _log(self, text):
        if self.log_path:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(text + "\n")

    def on_login(self, username):
        self._log("LOGIN " + username)

    def on_login_failed(self, username, password):
        self._log("FAILED " + username)

    def pre_process_command(self, line, cmd, arg):
        self._log("CMD " + (cmd + " ******" if cmd == "PASS" else line))
        if cmd in self.close_on:
            self._log("DROPPED " + cmd)
            self.close()
            return
        if cmd in self.hang_on:
            self._log("IGNORED " + cmd)
            return
        super().pre_process_command(line, cmd, arg)

    def _canned(self, path, cmd):
        with open(path, "rb") as f:
            self.push_dtp_data(f.read(), cmd=cmd)

    def ftp_LIST(self, path):
        if self.list_file:
            return self._canned(self.list_file, "LIST")
        return super().ftp_LIST(path)

    def ftp_MLSD(self, path):
        if self.mlsd_file:
            return self._canned(self.mlsd_file, "MLSD")
        return super().ftp_MLSD(path)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--log")
    p.add_argument("--user", action="append", default=[], help="NAME:PASSWORD")
    p.add_argument("--anonymous", action="store_true")
    p.add_argument("--perm", action="append", default=[],
                   help="DIR=PERMS for every account, relative to the root")
    p.add_argument("--no-mlsd", action="store_true")
    p.add_argument("--no-epsv", action="store_true")
    p.add_argument("--pasv-address", help="loopback address to put in PASV replies")
    p.add_argument("--list-file")
    p.add_argument("--mlsd-file")
    p.add_argument("--close-on", action="append", default=[])
    p.add_argument("--hang-on", action="append", default=[],
                   help="never answer this command")
    p.add_argument("--retr-cut", type=int)
    p.add_argument("--retr-stall", action="store_true",
                   help="at the --retr-cut point go silent instead of failing")
    p.add_argument("--stor-cut", type=int)
    a = p.parse_args()

    warnings.simplefilter("ignore")
    logging.basicConfig(level=logging.CRITICAL)

    root = os.path.realpath(a.root)
    auth = TestAuthorizer()
    accounts = []
    for spec in a.user:
        name, _, password = spec.partition(":")
        if name in accounts:
            auth.more_passwords.setdefault(name, []).append(password)
            continue
        auth.add_user(name, password, root, perm=FULL_PERMS)
        accounts.append(name)
    if a.anonymous:
        auth.add_anonymous(root, perm=FULL_PERMS)
        accounts.append("anonymous")
    for spec in a.perm:
        rel, _, perms = spec.partition("=")
        os.makedirs(os.path.join(root, rel), exist_ok=True)
        for name in accounts:
            auth.override_perm(name, os.path.join(root, rel), perms, recursive=True)

    handler = TestHandler
    handler.authorizer = auth
    handler.abstracted_fs = TestFS
    handler.active_dtp = TestActiveDTP
    handler.log_path = a.log
    handler.close_on = {c.upper() for c in a.close_on}
    handler.hang_on = {c.upper() for c in a.hang_on}
    handler.list_file = a.list_file
    handler.mlsd_file = a.mlsd_file
    handler.banner = "test server ready"
    handler.permit_foreign_addresses = False
    handler.auth_failed_timeout = 0.05  # refused logins answer at once
    TestFS.retr_cut = a.retr_cut
    TestFS.retr_stall = a.retr_stall
    if a.retr_cut is not None:
        handler.use_sendfile = False  # sendfile() would bypass the cut
    TestFS.stor_cut = a.stor_cut
    cmds = dict(FTPHandler.proto_cmds)
    if a.no_mlsd:
        cmds.pop("MLSD", None)
        cmds.pop("MLST", None)
    if a.no_epsv:
        cmds.pop("EPSV", None)
    handler.proto_cmds = cmds
    if a.pasv_address:
        if not a.pasv_address.startswith("127."):
            sys.exit("refusing a PASV address off the loopback range")
        handler.masquerade_address = a.pasv_address

    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
