#!/usr/bin/env python3
"""Simulated office web services over HTTPS (job import, configuration directories, catalogues).

Prints "CA <ca.pem>", "STORE <dir>" then "PORT <n>" on stdout once it accepts connections;
logs go to stderr. See tools/README.md.
"""

import argparse
import base64
import io
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import zipfile
from http.server import BaseHTTPRequestHandler
from urllib.parse import unquote, urlsplit

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_catalogues import CATALOGUE_FILE, seed_demo  # noqa: E402
from simulator_tls import TlsHTTPServer, ensure_certificates, server_context  # noqa: E402

FAULTS = ("none", "401", "404", "500", "503", "not-json", "erreur", "cut", "stall", "endless", "wrong-method",
          "302", "maintenance")
POST_ROUTES = ("/Orvane.WebServices/Import/PostFile", "/upload.php")
DIRECTORY_ROUTES = ("/Orvane.WebServices/Export/GetDirectory", "/getlist.php")
# Route -> query key carrying the directory name.
CATALOGUE_ROUTES = {"/Orvane.WebServices/Export/GetCatalogue": "directoryName", "/getconfigxml.php": "name"}
CONTROL_ROUTE = "/__control"
# How long a stalled upload is held before the server lets it go (the client gives up first).
STALL_SECONDS = 600
MAINTENANCE_PAGE = ("<html><head><title>Maintenance</title></head>"
                    "<body><h1>Service en maintenance</h1><p>Revenez plus tard.</p></body></html>")

def wrap_answer(methode, result=None, reason=""):
    """The JSON object as a JSON string literal, written so that the client's unwrapping
    (\\" -> ", \\\\ -> \\, /\\ -> /, drop the outer quotes) gives it back exactly."""
    answer = {"methodeStr": methode}
    if result is not None:
        answer["resultStr"] = result
    answer["reasonStr"] = reason
    inner = json.dumps(answer, ensure_ascii=False)
    # The client turns "/\" into "/", which would eat the escape after a slash: spell such
    # slashes as \u002f instead.
    inner = re.sub(r"/+(?=\\)", lambda m: "\\u002f" * len(m.group()), inner)
    return json.dumps(inner, ensure_ascii=False)


def parse_multipart(content_type, body):
    """Returns [(headers text, name, filename or None, content)], or None when the body is not
    multipart/form-data with the announced boundary."""
    match = re.search(r'boundary=(?:"([^"]+)"|([^;\s]+))', content_type or "")
    if not content_type or not content_type.lower().startswith("multipart/form-data") or not match:
        return None
    delimiter = b"\r\n--" + (match.group(1) or match.group(2)).encode()
    sections = (b"\r\n" + body).split(delimiter)
    if len(sections) < 2:
        return None
    parts = []
    for section in sections[1:]:
        if section.startswith(b"--"):
            return parts
        head, separator, content = section.partition(b"\r\n\r\n")
        if not separator:
            return None
        headers = head.decode("utf-8", "replace").strip()
        name = re.search(r'(?:^|[;\s])name="([^"]*)"', headers)
        filename = re.search(r'(?:^|[;\s])filename="([^"]*)"', headers)
        parts.append((headers, name.group(1) if name else "", filename and filename.group(1), content))
    return None  # no closing delimiter


def local_name(path):
    name = path.replace("\\", "/").rsplit("/", 1)[-1]
    return name if name not in ("", ".", "..") else None


def extract_zip(archive, directory):
    """Unpacks next to the archive, refusing members that would land outside it."""
    names = []
    with zipfile.ZipFile(archive) as zipped:
        for member in zipped.infolist():
            target = os.path.normpath(os.path.join(directory, member.filename))
            if member.is_dir() or not target.startswith(directory + os.sep):
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with zipped.open(member) as source, open(target, "wb") as out:
                shutil.copyfileobj(source, out)
            names.append(member.filename)
    return names


class ServerState:
    """Fault settings and counters, shared by the handler threads."""

    def __init__(self, store, catalogue_root, login, password, fault, reason, fail_first, accept_delay=0.0):
        self.lock = threading.Lock()
        self.accept_delay = accept_delay
        self.store, self.catalogue_root = store, catalogue_root
        self.credentials = ("%s:%s" % (login, password)).encode("utf-8")
        self.fault, self.reason, self.fail_first = fault, reason, fail_first
        self.faulted = 0
        self.requests = 0
        jobs = os.path.join(store, "jobs")
        os.makedirs(jobs, exist_ok=True)
        self.last_job = max([int(n) for n in os.listdir(jobs) if n.isdigit()], default=0)

    def configure(self, settings):
        with self.lock:
            fault = str(settings.get("fault", self.fault))
            if fault not in FAULTS:
                raise ValueError("unknown fault %r" % fault)
            self.fault = fault
            self.reason = str(settings.get("reason", self.reason))
            self.fail_first = int(settings.get("failFirst", 0))
            self.accept_delay = float(settings.get("acceptDelay", 0))
            self.faulted = 0

    def snapshot(self):
        with self.lock:
            return {"fault": self.fault, "reason": self.reason, "failFirst": self.fail_first,
                    "acceptDelay": self.accept_delay, "faulted": self.faulted, "requests": self.requests,
                    "jobs": self.last_job}

    def take_fault(self, route):
        """The fault this request gets; "erreur" only concerns job posts."""
        with self.lock:
            self.requests += 1
            if (self.fault == "none" or (self.fault == "erreur" and route not in POST_ROUTES)
                    or (self.fault == "maintenance" and route not in CATALOGUE_ROUTES)):
                return "none"
            if self.fail_first and self.faulted >= self.fail_first:
                return "none"
            self.faulted += 1
            return self.fault

    def next_job(self):
        with self.lock:
            self.last_job += 1
            return self.last_job

    def log_request(self, entry):
        with self.lock, open(os.path.join(self.store, "requests.jsonl"), "a", encoding="utf-8") as out:
            out.write(json.dumps(entry, ensure_ascii=False) + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "OfficeWebServices/1.0"

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def log_message(self, format, *args):
        if not self.server.quiet:
            sys.stderr.write("https %s\n" % (format % args))

    # --- plumbing

    def read_body(self, limit=None):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            body = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return bytes(body)
                body += self.rfile.read(size)
                self.rfile.readline()
                if limit is not None and len(body) >= limit:
                    return bytes(body)
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length if limit is None else min(length, limit))

    def send(self, status, payload=b"", content_type="application/json; charset=utf-8", extra=()):
        self.status = status
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        self.send_header("Connection", "close")
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(payload)
        self.close_connection = True

    def answer(self, methode, result=None, reason=""):
        if self.fault == "302":
            # A redirection (to a login portal, say) whose body looks like success.
            return self.send(302, wrap_answer(methode, result, reason).encode("utf-8"),
                             extra=[("Location", "/connexion")])
        self.send(200, wrap_answer(methode, result, reason).encode("utf-8"))

    def endless(self):
        """A 200 without a length whose body never ends; returns when the client gives up."""
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Connection", "close")
        self.end_headers()
        block = b'"{\\"methodeStr\\": \\"GetCatalogue\\", \\"resultStr\\": \\"' + b"x" * 65536
        try:
            self.wfile.write(block[:100])
            while True:
                self.wfile.write(block[100:])
        except OSError:
            self.abort(reset=False)

    def abort(self, reset):
        """Drops the connection mid-exchange: with a reset, or with a plain close (no TLS close_notify)."""
        self.close_connection = True
        try:
            if reset:
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.wfile.flush()
        except OSError:
            pass
        self.rfile.close()
        self.wfile.close()
        self.connection.close()
        # The base class still flushes after the handler returns.
        self.rfile, self.wfile = io.BytesIO(), io.BytesIO()

    def hold(self):
        """Never answers; returns when the client gives up."""
        self.close_connection = True
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass

    # --- routes

    def dispatch(self):
        self.status = None
        self.fault = "none"
        split = urlsplit(self.path)
        route = split.path
        if route == CONTROL_ROUTE:
            return self.control()
        state = self.server.state
        fault = state.take_fault(route)
        try:
            self.route(state, fault, route, split.query)
        except OSError:
            # The client gave up first (its own time limits): nothing more to say to it.
            self.close_connection = True
        finally:
            state.log_request({"method": self.command, "path": self.path, "status": self.status,
                               "fault": fault, "authorization": self.headers.get("Authorization")})

    def route(self, state, fault, route, query):
        self.fault = fault
        if fault == "stall":
            length = int(self.headers.get("Content-Length") or 0)
            if length > 0 or "chunked" in self.headers.get("Transfer-Encoding", "").lower():
                # Stops reading the body: the client's writes block once the buffers are full.
                self.read_body(limit=min(max(1, length), 65536))
                self.close_connection = True
                time.sleep(STALL_SECONDS)
                return
            return self.hold()
        if fault == "cut":
            length = int(self.headers.get("Content-Length") or 0)
            # A request with a body is cut while it is read, one without while answering.
            if length > 0 or "chunked" in self.headers.get("Transfer-Encoding", "").lower():
                self.read_body(limit=max(1, length // 2))
                return self.abort(reset=True)
            self.send_response(200)
            self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", "4096")
            self.end_headers()
            self.wfile.write(b'"{\\"methodeStr\\":')
            return self.abort(reset=False)

        body = self.read_body() if self.command == "POST" else b""
        if state.accept_delay > 0:
            # The whole request is in; the office takes its time before answering.
            time.sleep(state.accept_delay)
        if fault == "endless":
            return self.endless()
        if fault in ("401", "404", "500", "503"):
            return self.send(int(fault), b"", "text/plain; charset=utf-8",
                             [("WWW-Authenticate", 'Basic realm="office"')] if fault == "401" else [])
        if fault == "not-json":
            return self.send(200, b"<html><body>Service temporairement indisponible</body></html>",
                             "text/html; charset=utf-8")
        if not self.authorized(state):
            return self.send(401, b"", "text/plain; charset=utf-8",
                             [("WWW-Authenticate", 'Basic realm="office"')])

        if route in POST_ROUTES and self.command == "POST":
            if fault == "erreur":
                return self.answer("PostFile", "Erreur", state.reason)
            if fault == "wrong-method":
                return self.answer_directory(state)
            if fault == "302":
                return self.answer("PostFile", "Fini")
            return self.post_file(state, route, body)
        if route in DIRECTORY_ROUTES and self.command == "GET":
            if fault == "wrong-method":
                return self.answer("GetCatalogue", self.catalogue(state, "name", "name="))
            return self.answer_directory(state)
        if route in CATALOGUE_ROUTES and self.command == "GET":
            if fault == "wrong-method":
                return self.answer_directory(state)
            if fault == "maintenance":
                return self.answer("GetCatalogue", MAINTENANCE_PAGE)
            return self.answer("GetCatalogue", self.catalogue(state, CATALOGUE_ROUTES[route], query))
        self.send(404, b"", "text/plain; charset=utf-8")

    def answer_directory(self, state):
        root = state.catalogue_root
        if not os.path.isdir(root):
            return self.answer("GetDirectory")
        names = sorted(n for n in os.listdir(root) if os.path.isdir(os.path.join(root, n)))
        return self.answer("GetDirectory", names)

    def authorized(self, state):
        scheme, _, token = self.headers.get("Authorization", "").partition(" ")
        if scheme.lower() != "basic":
            return False
        try:
            return base64.b64decode(token.strip(), validate=True) == state.credentials
        except ValueError:
            return False

    @staticmethod
    def catalogue(state, key, query):
        # The client appends the name unencoded except for spaces: take the rest of the query.
        match = re.search(r"(?:^|&)%s=(.*)$" % key, query)
        name = unquote(match.group(1)) if match else ""
        if name in (".", "..") or "/" in name or "\\" in name:
            return ""
        path = os.path.join(state.catalogue_root, name, CATALOGUE_FILE)
        try:
            with open(path, encoding="utf-8", errors="replace") as source:
                return source.read()
        except OSError:
            return ""

    def post_file(self, state, route, body):
        parts = parse_multipart(self.headers.get("Content-Type"), body)
        if parts is None:
            return self.answer("PostFile", "Erreur", "Requête multipart invalide")
        if not any(filename for _, _, filename, _ in parts):
            return self.answer("PostFile", "Erreur", "Aucun fichier reçu")
        jobs = os.path.join(state.store, "jobs")
        number = state.next_job()
        # Built aside and renamed, so that jobs/<n> appears complete.
        work = os.path.join(jobs, ".%d.tmp" % number)
        os.makedirs(work)
        record = {"method": self.command, "path": self.path, "headers": dict(self.headers.items()),
                  "parts": [], "fields": {}, "unzipped": []}
        try:
            for headers, name, filename, content in parts:
                if filename is None:
                    record["fields"][name] = content.decode("utf-8", "replace")
                    continue
                stored = local_name(filename)
                record["parts"].append({"name": name, "filename": filename, "file": stored,
                                        "size": len(content), "headers": headers})
                if stored is None:
                    continue
                target = os.path.join(work, stored)
                with open(target, "wb") as out:
                    out.write(content)
                if stored.lower().endswith(".zip"):
                    record["unzipped"] += extract_zip(target, work)
        except (OSError, zipfile.BadZipFile) as error:
            shutil.rmtree(work, ignore_errors=True)
            return self.answer("PostFile", "Erreur", "Travail illisible : %s" % error)
        with open(os.path.join(work, "request.json"), "w", encoding="utf-8") as out:
            json.dump(record, out, ensure_ascii=False, indent=2)
        os.rename(work, os.path.join(jobs, str(number)))
        self.answer("PostFile", "Fini")

    def control(self):
        if self.client_address[0] not in ("127.0.0.1", "::1"):
            return self.send(403)
        state = self.server.state
        if self.command == "POST":
            try:
                state.configure(json.loads(self.read_body() or b"{}"))
            except (ValueError, TypeError, AttributeError) as error:
                return self.send(400, str(error).encode(), "text/plain; charset=utf-8")
        self.send(200, json.dumps(state.snapshot(), ensure_ascii=False).encode("utf-8"))


class OfficeServer(TlsHTTPServer):
    def __init__(self, address, context, state, quiet):
        super().__init__(address, Handler, context)
        self.state, self.quiet = state, quiet


def main():
    parser = argparse.ArgumentParser(description="Simulated office web services over HTTPS on 127.0.0.1.")
    parser.add_argument("--store", required=True, help="jobs and the request log (created if missing)")
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--cert-dir", help="CA and server certificate, made when missing (default STORE/tls)")
    parser.add_argument("--catalogue-root", help="directories of catalogues (default STORE/config)")
    parser.add_argument("--seed-demo", action="store_true", help="write the demo catalogues")
    parser.add_argument("--fault", choices=FAULTS, default="none")
    parser.add_argument("--reason", default="Le travail a été refusé par le serveur.",
                        help="reasonStr of the erreur fault")
    parser.add_argument("--fail-first", type=int, default=0, metavar="N",
                        help="apply the fault to N requests only")
    parser.add_argument("--accept-delay", type=float, default=0.0, metavar="SECONDS",
                        help="wait SECONDS after reading a request before answering it")
    parser.add_argument("--quiet", action="store_true", help="no request log on stderr")
    args = parser.parse_args()

    store = os.path.abspath(args.store)
    catalogue_root = os.path.abspath(args.catalogue_root or os.path.join(store, "config"))
    if args.seed_demo:
        seed_demo(catalogue_root)
    try:
        ca, cert, key = ensure_certificates(os.path.abspath(args.cert_dir or os.path.join(store, "tls")))
    except subprocess.CalledProcessError as error:
        sys.exit("office-https-server: openssl failed: %s" % error.stderr.decode(errors="replace"))

    context = server_context(cert, key)
    state = ServerState(store, catalogue_root, args.login, args.password, args.fault, args.reason,
                        args.fail_first, args.accept_delay)
    server = OfficeServer(("127.0.0.1", args.port), context, state, args.quiet)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("CA %s" % ca)
    print("STORE %s" % store)
    print("PORT %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
