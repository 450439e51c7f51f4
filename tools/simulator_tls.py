"""TLS for the HTTPS simulators: one CA per certificate directory, shared by every simulator that
is given the same directory, and a threaded HTTP server that does the handshake in the
connection's own thread."""

import fcntl
import os
import ssl
import subprocess
import tempfile
from http.server import ThreadingHTTPServer

_OPENSSL_CONFIG = """
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Office simulator
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1, IP:::1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


def ensure_certificates(cert_dir):
    """Creates, once per directory, a CA and a server certificate for localhost and 127.0.0.1.
    Returns (ca.pem, server.pem, server.key)."""
    os.makedirs(cert_dir, exist_ok=True)
    ca, ca_key = os.path.join(cert_dir, "ca.pem"), os.path.join(cert_dir, "ca.key")
    cert, key = os.path.join(cert_dir, "server.pem"), os.path.join(cert_dir, "server.key")
    with open(os.path.join(cert_dir, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(ca) and os.path.exists(cert) and os.path.exists(key):
            return ca, cert, key
        with tempfile.TemporaryDirectory() as work:
            config = os.path.join(work, "openssl.cnf")
            with open(config, "w") as out:
                out.write(_OPENSSL_CONFIG)
            ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]

            def openssl(*arguments):
                subprocess.run(["openssl", *arguments], check=True, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)

            if not os.path.exists(ca):
                openssl("req", "-x509", "-config", config, "-extensions", "ca", *ec, "-keyout", ca_key,
                        "-out", ca, "-days", "3650", "-subj", "/CN=Office simulator CA")
            csr = os.path.join(work, "server.csr")
            openssl("req", "-new", "-config", config, *ec, "-keyout", key, "-out", csr,
                    "-subj", "/CN=localhost")
            openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-set_serial",
                    str(int.from_bytes(os.urandom(8), "big")), "-days", "825", "-extfile", config,
                    "-extensions", "server", "-out", cert)
    return ca, cert, key


def server_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


class TlsHTTPServer(ThreadingHTTPServer):
    """A threaded HTTP server over TLS on the given context."""

    daemon_threads = True

    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def finish_request(self, request, client_address):
        # The handshake runs in the connection's thread, so a silent client blocks nobody.
        try:
            request.settimeout(10)
            tls = self.context.wrap_socket(request, server_side=True)
            tls.settimeout(None)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            if tls.fileno() != -1:
                try:
                    tls.settimeout(2)
                    tls.unwrap().close()
                except (OSError, ValueError):
                    pass
                tls.close()
