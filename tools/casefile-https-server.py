#!/usr/bin/python3
"""Simulated practice-management server of a law office: databases, log-in with a session cookie,
and a search through a few hundred case files, as a small JSON web API over HTTPS.

Prints "CA <ca.pem>", "STORE <dir>" then "PORT <n>" on stdout once it accepts connections;
logs go to stderr. See tools/README.md.
"""

import argparse
import datetime
import json
import os
import random
import re
import secrets
import signal
import subprocess
import sys
import threading
import time
import unicodedata
from http.cookies import CookieError, SimpleCookie
from http.server import BaseHTTPRequestHandler
from urllib.parse import unquote_plus, unquote_to_bytes, urlsplit

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
try:
    from simulator_tls import TlsHTTPServer, ensure_certificates, server_context
except ImportError:
    # A Python built without OpenSSL (some pyenv builds) has no ssl module: hand over to the system one.
    system_python = "/usr/bin/python3"
    if os.path.exists(system_python) and os.path.realpath(sys.executable) != os.path.realpath(system_python):
        os.execv(system_python, [system_python, os.path.abspath(__file__)] + sys.argv[1:])
    sys.exit("casefile-https-server: this Python has no ssl module")

APP = "/fendrawebmvcapp"
DATABASES_ROUTE = APP + "/login/databases"
LOGIN_ROUTE = APP + "/login/logmein"
RECENT_ROUTE = APP + "/dossier/récents"
SEARCH_ROUTE = APP + "/dossier/rechercher"
COOKIE = "FendraSession"

DATABASES = [
    {"Nom": "CABINET_DUPRE", "Libelle": "Cabinet Dupré & Associés"},
    {"Nom": "SCP_LEFEVRE_GARNIER", "Libelle": "SCP Lefèvre-Garnier (Besançon)"},
    {"Nom": "ARCHIVES_2019", "Libelle": "Archives d'Étude 2019"},
]
VERSION_WS = "3.2"
INTERVENANT_ID = "42"
WRONG_CREDENTIALS = "Identifiant ou mot de passe incorrect."
UNKNOWN_DATABASE = "Base de données inconnue : %s"
NOT_JSON = "Requête de connexion illisible."
INVALID_TOKEN = "invalid token"
RECENT_COUNT = 20
SEARCH_LIMIT = 100
MAX_BODY = 1 << 20
HTML_ERROR_PAGE = ("<html><head><title>Erreur d'exécution</title></head><body><h1>Erreur du serveur dans "
                   "l'application '/FendraWebMvcApp'.</h1><p>Une exception non gérée s'est produite.</p>"
                   "</body></html>")
LOGON_PAGE = ("<!DOCTYPE html><html><head><title>Log On</title></head><body><h2>Log On</h2>"
              "<form action=\"/FendraWebMvcApp/Account/LogOn\" method=\"post\"><input name=\"UserName\"/>"
              "<input name=\"Password\" type=\"password\"/><input type=\"submit\" value=\"Log On\"/></form>"
              "</body></html>")

# --- case files

CASE_KEYS = ("id", "code", "label", "nature", "responsable", "collaborateur1", "collaborateur2", "secrétaire",
             "archive", "matière", "type", "datedecréation", "état", "provenance", "stockage", "mémo")
SEED = 20260142
FIRST_DAY = datetime.date(2022, 1, 3)
LAST_DAY = datetime.date(2026, 12, 4)
SURNAMES = ("Lefèvre", "Dupré", "Garnier", "Bernard", "Morel", "Girard", "Bonnet", "Lambert", "Fontaine",
            "Rousseau", "Mercier", "Chevalier", "Faure", "Gauthier", "Perrin", "Roussel", "Brunet", "Leclerc",
            "Hébert", "Béranger", "Thévenin", "Lemaître", "Aubé", "D'Arcy", "O'Neil", "N'Diaye", "Caré")
GIVEN_NAMES = ("Anne", "François", "Hélène", "Jérôme", "Zoé", "Loïc", "Cécile", "Noël", "Amélie", "Raphaël",
               "Inès", "Gaëlle", "Benoît", "Maëlys", "Joël", "Léa")
COMPANIES = ("Société Générale", "Crédit Agricole", "SNCF Réseau", "Caisse d'Épargne", "Ville de Besançon",
             "SARL Boulangerie du Marché", "SAS Transports Lévêque", "Mutuelle des Artisans",
             "Syndicat des copropriétaires « Les Tilleuls »", 'SARL "Le Bon Café"', "Électricité de l'Est",
             "Banque Populaire", "Assurances Mornay & Cie", "Office public de l'habitat")
TREES = ("Chênes", "Tilleuls", "Peupliers", "Marronniers", "Bouleaux", "Cèdres", "Platanes")
LABELS = (
    "Succession {surname}",
    "{surname} c/ {company}",
    "Divorce {surname} / {surname2}",
    "Licenciement {given} {surname} c/ {company}",
    "Prud'hommes {surname} c/ {company}",
    "SCI Les {tree}",
    "Constitution SAS {surname} & Associés",
    "Bail commercial {company}",
    "Accident de la circulation {given} {surname}",
    "Recouvrement créance {company}",
    "Garde alternée {surname}",
    "Vente immeuble rue de l'Église ({surname})",
)
NATURES = ("Contentieux", "Conseil", "Droit de la famille", "Droit du travail", "Droit immobilier", "Successions",
           "Droit des sociétés", "Recouvrement", "Pénal")
LAWYERS = ("Me Anne Dupré", "Me François Lefèvre", "Me Hélène Garnier", "Me Jérôme Bernard")
ASSOCIATES = ("Me Zoé Martin", "Me Loïc Perrin", "Me Amélie Faure", "")
SECRETARIES = ("Mme Cécile Roux", "M. Noël Girard", "Mme Inès Béranger")
MATTERS = ("Civil", "Commercial", "Social", "Pénal", "Administratif")
TYPES = ("Judiciaire", "Juridique", "Amiable")
STATES = ("En cours", "En cours", "En cours", "Clôturé", "En attente de pièces", "Suspendu")
ORIGINS = ("Recommandation", "Client historique", "Site internet", "Barreau (commission d'office)", "Confrère")
STORAGES = ("Armoire A – étagère 3", "Armoire B – étagère 1", "Archives Saint-Étienne", "Serveur du cabinet")
MEMOS = ("", "", "Provision reçue.", 'Client "pressé" : rappeler avant vendredi.\nPièces au coffre.',
         "Voir l'échéancier\u00a0; audience le 12/03 à 9 h 30.", "Dossier lié : voir c/\nl'assureur.",
         "Relance adverse : 2e courrier.")
# Records every test can count on, whatever the random draws: (index from the oldest, label).
FIXED_LABELS = ((40, "Succession Lefèvre c/ Société Générale"), (-3, "SCI Les Érables & fils"),
                (-5, 'Prud\'hommes O\'Neil c/ SARL "L\'Œuvre d\'Orient"'))


def generate_cases(count=320):
    """The office's case files, oldest first, the same on every run."""
    draw = random.Random(SEED)
    span = (LAST_DAY - FIRST_DAY).days
    days = sorted(FIRST_DAY + datetime.timedelta(days=draw.randrange(span + 1)) for _ in range(count))
    cases, numbers = [], {}
    for index, day in enumerate(days):
        # Numbered per year, with the gaps of files opened then dropped.
        numbers[day.year] = numbers.get(day.year, 0) + draw.choice((1, 1, 1, 2, 3))
        surname, surname2 = draw.sample(SURNAMES, 2)
        label = draw.choice(LABELS).format(surname=surname, surname2=surname2, given=draw.choice(GIVEN_NAMES),
                                           company=draw.choice(COMPANIES), tree=draw.choice(TREES))
        created = day.strftime("%d%m%Y") if index % 2 == 0 else day.strftime("%d/%m/%Y")
        state, first = draw.choice(STATES), draw.choice(ASSOCIATES)
        cases.append({
            "id": str(5000 + index * 7),
            "code": "%d-%04d" % (day.year, numbers[day.year]),
            "label": label,
            # A few fields the server leaves empty (null), spread so that every page shows some.
            "nature": None if index % 7 == 3 else draw.choice(NATURES),
            "responsable": None if index % 9 == 4 else draw.choice(LAWYERS),
            "collaborateur1": first,
            "collaborateur2": draw.choice([a for a in ASSOCIATES if a != first] + [""]) if first else "",
            "secrétaire": draw.choice(SECRETARIES),
            "archive": "Oui" if state == "Clôturé" and draw.random() < 0.5 else "Non",
            "matière": draw.choice(MATTERS),
            "type": draw.choice(TYPES),
            "datedecréation": None if index % 11 == 5 else created,
            "état": state,
            "provenance": draw.choice(ORIGINS),
            "stockage": draw.choice(STORAGES),
            "mémo": draw.choice(MEMOS),
        })
    for index, label in FIXED_LABELS:
        cases[index]["label"] = label
    return cases


def folded(text):
    """Text compared without accents, ligatures nor case; typographic apostrophes as plain ones."""
    text = text.replace("œ", "oe").replace("Œ", "OE").replace("æ", "ae").replace("Æ", "AE").replace("’", "'")
    decomposed = unicodedata.normalize("NFKD", text)
    return "".join(c for c in decomposed if not unicodedata.combining(c)).casefold()


def wrapped(document):
    """The document as a JSON string literal, written so that the client's unwrapping (delete \\\\/,
    \\" -> ", \\\\ -> \\, /\\ -> /, drop the outer quotes) gives its JSON text back exactly."""
    inner = json.dumps(document, ensure_ascii=False)
    # "/\" would lose its backslash: spell a slash before an escape as \u002f.
    inner = re.sub(r"/+(?=\\)", lambda m: "\\u002f" * len(m.group()), inner)
    return json.dumps(inner, ensure_ascii=False)


def journal_value(value):
    """A value of the journal; empty or holding blanks, quotes or =, it is written as a JSON string."""
    text = "" if value is None else str(value)
    return json.dumps(text, ensure_ascii=False) if not text or re.search(r'[\s"=]', text) else text


class ServerState:
    """Accounts, sessions and case files, shared by the handler threads."""

    def __init__(self, store, args):
        self.lock = threading.Lock()
        self.store = store
        self.login, self.password = args.login, args.password
        self.databases = DATABASES[:args.databases]
        self.token_requests = args.token_requests
        self.wrong_password_code = args.wrong_password_code
        self.tokens = {}  # token -> case requests answered with it
        self.cases = generate_cases()
        self.folded = [(folded(case["code"]), folded(case["label"])) for case in self.cases]
        os.makedirs(store, exist_ok=True)
        with open(os.path.join(store, "casefiles.json"), "w", encoding="utf-8") as out:
            json.dump(self.cases, out, ensure_ascii=False, indent=1)

    def journal(self, method, path, details, result):
        fields = ["%s=%s" % (key, journal_value(value)) for key, value in details.items()]
        line = " ".join([method, journal_value(path)] + fields + ["result=%s" % journal_value(result)])
        with self.lock, open(os.path.join(self.store, "calls.log"), "a", encoding="utf-8") as out:
            out.write(line + "\n")

    def log_in(self, request):
        """(answer, new token or None, journal details)."""
        details = {"user": request.get("userlogin")}
        details.update((key, request.get(key)) for key in ("database", "clientId", "clientVersion", "type",
                                                           "versionOS"))
        if request.get("database") not in [d["Nom"] for d in self.databases]:
            return ({"code": 102, "description": UNKNOWN_DATABASE % request.get("database")}, None, details)
        if request.get("userlogin") != self.login or request.get("userpwd") != self.password:
            return {"code": self.wrong_password_code, "description": WRONG_CREDENTIALS}, None, details
        token = secrets.token_hex(16)
        with self.lock:
            self.tokens[token] = 0
        return ({"code": 0, "description": "", "versionWS": VERSION_WS, "intervenantId": INTERVENANT_ID},
                token, details)

    def drop(self, token):
        with self.lock:
            self.tokens.pop(token, None)

    def use(self, token):
        """"ok" and counts one case request, or why the token is refused: missing, unknown, expired."""
        if not token:
            return "missing"
        with self.lock:
            if token not in self.tokens:
                return "unknown"
            if self.token_requests and self.tokens[token] >= self.token_requests:
                return "expired"
            self.tokens[token] += 1
            return "ok"

    def recent(self):
        return list(reversed(self.cases[-RECENT_COUNT:]))

    def search(self, text):
        """Codes and labels holding the text, most recent first."""
        wanted = folded(text)
        found = []
        for case, (code, label) in zip(reversed(self.cases), reversed(self.folded)):
            if wanted in code or wanted in label:
                found.append(case)
                if len(found) == SEARCH_LIMIT:
                    break
        return found


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FendraWeb/3.2"

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def log_message(self, format, *args):
        if not self.server.quiet:
            sys.stderr.write("casefile %s\n" % (format % args))

    def read_body(self):
        """The body, or None when it is larger than any log-in."""
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
                if len(body) > MAX_BODY:
                    return None
        length = int(self.headers.get("Content-Length") or 0)
        return None if length > MAX_BODY else self.rfile.read(length)

    def send(self, status, payload, content_type="application/json; charset=utf-8", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(payload)

    def send_json(self, document, extra=()):
        self.send(200, json.dumps(document, ensure_ascii=False).encode("utf-8"), extra=extra)

    def session_token(self):
        for header in self.headers.get_all("Cookie") or ():
            try:
                cookies = SimpleCookie(header)
            except CookieError:
                continue
            if COOKIE in cookies:
                return cookies[COOKIE].value
        return None

    def dispatch(self):
        server, state = self.server, self.server.state
        split = urlsplit(self.path)
        # The request line arrives as Latin-1: back to bytes, then the escapes and UTF-8 undone, so
        # "R%C3%A9cents" and a raw "Récents" are the same route.
        path = unquote_to_bytes(split.path.encode("latin-1", "replace")).decode("utf-8", "replace")
        route = path.rstrip("/").lower()
        try:
            body = self.read_body() if self.command == "POST" else b""
            if body is None:
                self.close_connection = True
                state.journal(self.command, path, {}, 413)
                return self.send(413, b"", "text/plain; charset=utf-8")
            if server.slow:
                time.sleep(server.slow)
            if server.html_error:
                state.journal(self.command, path, {}, 500)
                return self.send(500, HTML_ERROR_PAGE.encode("utf-8"), "text/html; charset=utf-8")
            if route == DATABASES_ROUTE and self.command == "GET":
                state.journal(self.command, path, {}, len(state.databases))
                return self.send_json(state.databases)
            if route == LOGIN_ROUTE and self.command == "POST":
                return self.log_in(state, path, body)
            if route in (RECENT_ROUTE, SEARCH_ROUTE) and self.command == "GET":
                return self.cases(state, path, route, split.query)
            state.journal(self.command, path, {}, 404)
            self.send(404, b"", "text/plain; charset=utf-8")
        except OSError:
            # The client gave up first (its own time limits).
            self.close_connection = True
        except Exception as error:  # noqa: BLE001 -- a simulator bug must not look like a network cut
            sys.stderr.write("casefile: %r\n" % error)
            self.close_connection = True
            self.send(500, "Erreur interne du simulateur.".encode("utf-8"), "text/plain; charset=utf-8")

    def log_in(self, state, path, body):
        try:
            request = json.loads(body.decode("utf-8-sig"))
        except (UnicodeDecodeError, ValueError):
            request = None
        if not isinstance(request, dict):
            state.journal(self.command, path, {"bytes": len(body)}, 103)
            return self.send_json({"code": 103, "description": NOT_JSON})
        answer, token, details = state.log_in(request)
        state.journal(self.command, path, details, answer["code"])
        if token is None:
            return self.send_json(answer)
        # The session the client presents is replaced by the new one.
        state.drop(self.session_token())
        cookie = "%s=%s; path=/; secure; HttpOnly" % (COOKIE, token)
        self.send_json(answer, [("Set-Cookie", cookie)])

    def cases(self, state, path, route, query):
        details = {}
        if route == SEARCH_ROUTE:
            values = [unquote_plus(pair[6:]) for pair in query.split("&")
                      if pair.lower().startswith("value=")]
            details["value"] = text = values[0] if values else ""
        token = state.use(self.session_token())
        details["token"] = token
        if token != "ok":
            state.journal(self.command, path, details, "invalid-token")
            if self.server.logon_page:
                return self.send(200, LOGON_PAGE.encode("utf-8"), "text/html; charset=utf-8")
            return self.send_json(INVALID_TOKEN)
        found = state.recent() if route == RECENT_ROUTE else state.search(text)
        state.journal(self.command, path, details, len(found))
        self.send(200, wrapped(found).encode("utf-8"))


class CaseFileServer(TlsHTTPServer):
    def __init__(self, address, context, state, args):
        super().__init__(address, Handler, context)
        self.state = state
        self.quiet, self.slow = args.quiet, args.slow
        self.html_error, self.logon_page = args.html_error, args.logon_page


def main():
    parser = argparse.ArgumentParser(description="Simulated practice-management server (JSON over HTTPS on "
                                                 "127.0.0.1).")
    parser.add_argument("--store", required=True, help="casefiles.json and calls.log (created if missing)")
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--cert-dir", help="CA and server certificate, made when missing (default STORE/tls)")
    parser.add_argument("--databases", type=int, choices=(1, 2, 3), default=2, help="how many databases to offer")
    parser.add_argument("--token-requests", type=int, default=0, metavar="N",
                        help="a session answers N case requests, then \"invalid token\" (0: no limit)")
    parser.add_argument("--wrong-password-code", type=int, default=101, metavar="N",
                        help="log-in code for a wrong user or password")
    parser.add_argument("--logon-page", action="store_true",
                        help="a refused session gets an HTML \"Log On\" page instead of \"invalid token\"")
    parser.add_argument("--html-error", action="store_true", help="every request answers 500 with an HTML page")
    parser.add_argument("--slow", type=float, default=0.0, metavar="SECONDS", help="delay every answer")
    parser.add_argument("--quiet", action="store_true", help="no request log on stderr")
    args = parser.parse_args()

    store = os.path.abspath(args.store)
    try:
        ca, cert, key = ensure_certificates(os.path.abspath(args.cert_dir or os.path.join(store, "tls")))
    except subprocess.CalledProcessError as error:
        sys.exit("casefile-https-server: openssl failed: %s" % error.stderr.decode(errors="replace"))

    state = ServerState(store, args)
    server = CaseFileServer(("127.0.0.1", args.port), server_context(cert, key), state, args)
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
