#!/usr/bin/python3
"""Simulated office FTP server: "import/" receives jobs, "config/" holds the catalogues.

Prints "CA <ca.pem>" (TLS modes only), "ROOT <dir>" then "PORT <n>" on stdout once it accepts
connections; logs go to stderr, with one line per login and per transfer telling whether the
control and data channels were encrypted. See tools/README.md.
"""

import argparse
import logging
import os
import signal
import socket
import struct
import subprocess
import sys
import time

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import DTPHandler, FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError:
    # pyftpdlib comes from Debian's python3-pyftpdlib; another interpreter first on PATH
    # (pyenv, a venv) does not see it, so hand over to the system one.
    system_python = "/usr/bin/python3"
    if os.path.exists(system_python) and os.path.realpath(sys.executable) != os.path.realpath(system_python):
        os.execv(system_python, [system_python, os.path.abspath(__file__)] + sys.argv[1:])
    sys.exit("office-ftp-server: pyftpdlib is missing (apt-get install python3-pyftpdlib)")

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_catalogues import seed_demo  # noqa: E402
from simulator_tls import ensure_certificates  # noqa: E402


class JournalMixin:
    """Says in the log whether each session and each transfer went over TLS."""

    def _control_encrypted(self):
        return bool(getattr(self, "_ssl_established", False))

    def on_login(self, username):
        super().on_login(username)
        self.log("session control=%s" % ("TLS" if self._control_encrypted() else "clear"))

    def _channels(self):
        return "control=%s data=%s" % ("TLS" if self._control_encrypted() else "clear",
                                       "TLS" if getattr(self, "_prot", False) else "clear")

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        # Listings are no files: log_transfer does not see them.
        if file is None:
            self.log("%s listing %s" % (cmd, self._channels()))
        return super().push_dtp_data(data, isproducer, file, cmd)

    def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
        self.log("%s %s completed=%d bytes=%s seconds=%s %s"
                 % (cmd, filename, completed and 1 or 0, bytes, elapsed, self._channels()))


class DosListingFS(AbstractedFS):
    """LIST answered the way IIS does: "MM-DD-YY  HH:MMAM       <DIR>          name"."""

    def format_list(self, basedir, listing, ignore_err=True):
        for basename in listing:
            try:
                st = self.lstat(os.path.join(basedir, basename))
            except OSError:
                if ignore_err:
                    continue
                raise
            stamp = time.strftime("%m-%d-%y  %I:%M%p", time.gmtime(st.st_mtime))
            if os.path.isdir(os.path.join(basedir, basename)):
                line = "%s       <DIR>          %s\r\n" % (stamp, basename)
            else:
                line = "%s%21d %s\r\n" % (stamp, st.st_size, basename)
            yield line.encode("utf8", self.cmd_channel.unicode_errors)


class EndlessListingFS(AbstractedFS):
    """LIST answered with bytes that never end and hold no line break."""

    def format_list(self, basedir, listing, ignore_err=True):
        block = b"drwxr-xr-x" + b" " * 65526
        while True:
            yield block


class FaultyDTPHandler(DTPHandler):
    """Data channel that stalls or cuts an upload after a number of bytes."""

    stall_after = None
    cut_after = None

    def _limit(self):
        return self.stall_after if self.stall_after is not None else self.cut_after

    def enable_receiving(self, type, cmd):
        super().enable_receiving(type, cmd)
        if self._limit() == 0:
            self.ioloop.call_later(0, self._fault)

    def handle_read(self):
        limit = self._limit()
        if limit is None or not self.receive:
            return super().handle_read()
        if self.tot_bytes_received >= limit:
            return self._fault()
        self.ac_in_buffer_size = max(1, min(DTPHandler.ac_in_buffer_size, limit - self.tot_bytes_received))
        super().handle_read()
        if not self._closed and self.tot_bytes_received >= limit:
            self._fault()

    handle_read_event = handle_read  # the base class binds its own handle_read under this name

    def _fault(self):
        if self._closed:
            return
        # What was received is on disk before the client can notice anything.
        if self.file_obj is not None:
            self.file_obj.flush()
        if self.stall_after is not None:
            # Keep the socket open but never read again: the client's writes block once the
            # kernel buffers are full.
            if self._idler is not None:
                self._idler.cancel()
            self.del_channel()
            logging.info("upload stalled after %d bytes", self.tot_bytes_received)
            return
        # Reset rather than FIN, so the client's next write fails at once.
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self._resp = ("426 Connection closed; transfer aborted.", logging.info)
        logging.info("upload cut after %d bytes", self.tot_bytes_received)
        self.close()


class SlowDTPHandler(DTPHandler):
    """Data channel that reads an upload no faster than read_limit bytes per second."""

    read_limit = None

    def enable_receiving(self, type, cmd):
        super().enable_receiving(type, cmd)
        self._started = time.monotonic()

    def handle_read(self):
        if not self.receive:
            return super().handle_read()
        self.ac_in_buffer_size = max(1, min(DTPHandler.ac_in_buffer_size, self.read_limit // 10))
        super().handle_read()
        ahead = self.tot_bytes_received / self.read_limit - (time.monotonic() - self._started)
        if not self._closed and ahead > 0:
            # Stop reading until the average rate is back under the limit.
            self.del_channel()
            self.ioloop.call_later(ahead, self._resume, _errback=self.handle_error)

    handle_read_event = handle_read  # the base class binds its own handle_read under this name

    def _resume(self):
        if not self._closed:
            self.add_channel(events=self.ioloop.READ)


def main():
    parser = argparse.ArgumentParser(description="Simulated office FTP server on 127.0.0.1.")
    parser.add_argument("--root", required=True, help="server root (created if missing)")
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--stall-after", type=int, metavar="BYTES", help="stop reading an upload after BYTES")
    parser.add_argument("--cut-after", type=int, metavar="BYTES",
                        help="reset an upload's connection after BYTES")
    parser.add_argument("--read-limit", type=int, metavar="BYTES",
                        help="read uploads at no more than BYTES per second")
    parser.add_argument("--dos-listing", action="store_true", help="answer LIST in DOS/IIS style")
    parser.add_argument("--endless-listing", action="store_true",
                        help="answer LIST with an endless line (no line break ever)")
    parser.add_argument("--tls", action="store_true",
                        help="offer explicit TLS (AUTH TLS); clients may stay in clear")
    parser.add_argument("--tls-required", action="store_true",
                        help="refuse logins and transfers that are not encrypted")
    parser.add_argument("--cert-dir", help="CA and server certificate for TLS, made when missing "
                                           "(default ROOT/.tls)")
    parser.add_argument("--seed-demo", action="store_true", help="write the demo catalogues into config/")
    parser.add_argument("--quiet", action="store_true", help="log only warnings")
    args = parser.parse_args()
    if args.stall_after is not None and args.cut_after is not None:
        parser.error("--stall-after and --cut-after exclude each other")
    if args.read_limit is not None and (args.stall_after is not None or args.cut_after is not None):
        parser.error("--read-limit excludes --stall-after and --cut-after")
    if args.read_limit is not None and args.read_limit <= 0:
        parser.error("--read-limit must be positive")
    tls = args.tls or args.tls_required
    if args.tls and args.tls_required:
        parser.error("--tls and --tls-required exclude each other")
    if tls and (args.stall_after is not None or args.cut_after is not None or args.read_limit is not None):
        parser.error("the TLS modes exclude --stall-after, --cut-after and --read-limit")
    if args.cert_dir and not tls:
        parser.error("--cert-dir needs --tls or --tls-required")

    logging.basicConfig(stream=sys.stderr, level=logging.WARNING if args.quiet else logging.INFO,
                        format="ftp %(asctime)s %(message)s")
    root = os.path.abspath(args.root)
    for sub in ("import", "config"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    if args.seed_demo:
        seed_demo(os.path.join(root, "config"))

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.login, args.password, root, perm="elradfmwMT")

    FaultyDTPHandler.stall_after = args.stall_after
    FaultyDTPHandler.cut_after = args.cut_after

    ca = None
    if tls:
        try:
            from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        except ImportError:
            sys.exit("office-ftp-server: TLS needs python3-openssl (apt-get install python3-openssl)")
        try:
            ca, cert, key = ensure_certificates(os.path.abspath(args.cert_dir or os.path.join(root, ".tls")))
        except subprocess.CalledProcessError as error:
            sys.exit("office-ftp-server: openssl failed: %s" % error.stderr.decode(errors="replace"))

        class EarlyHandshakeDTPHandler(TLS_DTPHandler):
            """Lets a client secure the data connection as soon as it connects, before the
            transfer command arrives (libcurl does), where the base class drops it as idle."""

            def readable(self):
                if self._ssl_accepting:
                    return True
                return super().readable()

        class Handler(JournalMixin, TLS_FTPHandler):
            dtp_handler = EarlyHandshakeDTPHandler
            certfile = cert
            keyfile = key
            tls_control_required = args.tls_required
            tls_data_required = args.tls_required
    else:
        class Handler(JournalMixin, FTPHandler):
            pass

        Handler.dtp_handler = FaultyDTPHandler

    Handler.authorizer = authorizer
    if args.read_limit is not None:
        SlowDTPHandler.read_limit = args.read_limit
        Handler.dtp_handler = SlowDTPHandler
    Handler.banner = "Office FTP simulator ready."
    Handler.auth_failed_timeout = 0
    if args.dos_listing and args.endless_listing:
        parser.error("--dos-listing and --endless-listing exclude each other")
    if args.dos_listing:
        Handler.abstracted_fs = DosListingFS
    if args.endless_listing:
        Handler.abstracted_fs = EndlessListingFS

    server = FTPServer(("127.0.0.1", args.port), Handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if ca:
        print("CA %s" % ca)
    print("ROOT %s" % root)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
