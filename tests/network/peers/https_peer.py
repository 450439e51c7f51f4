#!/usr/bin/env python3
"""HTTPS server on loopback for the network tests.

Makes its certificates with the openssl command in DIR when they are not there yet:
  --identity trusted      a certificate for 127.0.0.1 and localhost signed by DIR/ca.pem
  --identity self-signed  a self-signed certificate that no authority vouches for
then listens on a free port that it prints on standard output. Runs until terminated.

Paths:
  /echo     200, JSON of the request: method, path, headers, body (Base64)
  /stall    200 with a Content-Length of 100, then sends nothing more
  /cut      200 with a Content-Length of 1000, sends 100 bytes and closes the connection
  /status/N status N with a short text body
"""
import argparse
import base64
import http.server
import json
import os
import ssl
import subprocess
import threading
import time


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_identity(directory, identity):
    names = "subjectAltName=IP:127.0.0.1,DNS:localhost"
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    if identity == "self-signed":
        if not os.path.exists(os.path.join(directory, "self-signed.pem")):
            openssl("req", "-x509", *ec, "-keyout", "self-signed.key", "-out", "self-signed.pem",
                    "-days", "2", "-subj", "/CN=localhost", "-addext", names, cwd=directory)
        return "self-signed.pem", "self-signed.key"
    if not os.path.exists(os.path.join(directory, "ca.pem")):
        openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=Orvaneh Test CA", cwd=directory)
    if not os.path.exists(os.path.join(directory, "server.pem")):
        with open(os.path.join(directory, "server.ext"), "w") as ext:
            ext.write(names + "\nbasicConstraints=CA:FALSE\n")
        openssl("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost",
                cwd=directory)
        openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext",
                cwd=directory)
    return "server.pem", "server.key"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="text/plain; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        if self.path == "/echo":
            echo = {
                "method": self.command,
                "path": self.path,
                "headers": {name: value for name, value in self.headers.items()},
                "body": base64.b64encode(body).decode("ascii"),
            }
            self.answer(200, json.dumps(echo).encode("utf-8"), "Application/JSON; charset=utf-8")
        elif self.path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.flush()
            time.sleep(600)
        elif self.path == "/cut":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"x" * 100)
            self.wfile.flush()
            self.close_connection = True
        elif self.path.startswith("/status/"):
            self.answer(int(self.path[len("/status/"):]), b"statut")
        else:
            self.answer(404, b"introuvable")

    do_GET = do_POST = do_PUT = do_DELETE = handle_any


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--identity", choices=["trusted", "self-signed"], required=True)
    args = parser.parse_args()

    certificate, key = make_identity(args.dir, args.identity)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(args.dir, certificate), os.path.join(args.dir, key))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
