"""Smoke test of the office simulators in tools/: each is started as the integration tests
start it and driven through the standard library's clients."""

import base64
import ftplib
import hashlib
import http.client
import io
import json
import re
import socket
import ssl
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ElementTree
import zipfile
from http.cookies import SimpleCookie
from pathlib import Path
from xml.sax.saxutils import escape

TOOLS = Path(__file__).resolve().parents[2] / "tools"
FTP_SERVER = TOOLS / "office-ftp-server.py"
HTTPS_SERVER = TOOLS / "office-https-server.py"
SOAP_SERVER = TOOLS / "transcription-soap-server.py"
CASEFILE_SERVER = TOOLS / "casefile-https-server.py"
LOGIN, PASSWORD = "dic@office:7", "p@ss:w0rd"
CREDENTIALS = ("--login", LOGIN, "--password", PASSWORD)
BOUNDARY = "--FrontiereBoundary"
TNS, SOAP_ENV = "https://ws.velmora.fr/", "http://schemas.xmlsoap.org/soap/envelope/"
CHUNK = 65537


def unwrap(raw):
    """The client's reading of an answer: a JSON string literal around a JSON object."""
    text = raw.decode("utf-8").replace('\\"', '"').replace("\\\\", "\\").replace("/\\", "/")
    return json.loads(text[1:-1])


def multipart(files):
    """Body as the client builds it: parts named by device paths, no Content-Type per part."""
    body = b""
    for path, content in files.items():
        body += ('--%s\r\nContent-Disposition: form-data; name="%s" ; filename="%s"\r\n\r\n'
                 % (BOUNDARY, path, path)).encode() + content + b"\r\n"
    return body + ("--%s--\r\n" % BOUNDARY).encode()


class SimulatorTestCase(unittest.TestCase):
    def setUp(self):
        directory = tempfile.TemporaryDirectory()
        self.addCleanup(directory.cleanup)
        self.tmp = Path(directory.name)

    def start(self, script, *arguments):
        """Starts a simulator and returns what it printed, up to its PORT line."""
        log = open(self.tmp / ("%s.log" % script.stem), "a")
        self.addCleanup(log.close)
        process = subprocess.Popen([sys.executable, str(script), *map(str, arguments)],
                                   stdout=subprocess.PIPE, stderr=log, stdin=subprocess.DEVNULL, text=True)

        def stop():
            process.terminate()
            process.wait(timeout=10)
            process.stdout.close()

        self.addCleanup(stop)
        printed = {}
        for line in process.stdout:
            key, _, value = line.strip().partition(" ")
            printed[key] = value
            if key == "PORT":
                return printed
        self.fail("%s ended before printing its port: %s" % (script.name, Path(log.name).read_text()))


class FtpSimulatorTest(SimulatorTestCase):
    def connect(self, printed, timeout=10, password=PASSWORD):
        ftp = ftplib.FTP(timeout=timeout)
        self.addCleanup(ftp.close)
        ftp.connect("127.0.0.1", int(printed["PORT"]))
        ftp.login(LOGIN, password)
        return ftp

    def test_upload_lands_in_import_and_config_lists_in_both_styles(self):
        root = self.tmp / "root"
        unix = self.start(FTP_SERVER, "--root", root, *CREDENTIALS, "--seed-demo")
        dos = self.start(FTP_SERVER, "--root", root, *CREDENTIALS, "--dos-listing")

        ftp = self.connect(unix)
        ftp.storbinary("STOR import/JOB-1.XML", io.BytesIO(b"<job/>"))
        self.assertEqual((root / "import" / "JOB-1.XML").read_bytes(), b"<job/>")

        styles = {
            unix["PORT"]: r"^(?P<kind>[d-])[rwx-]{9}\s+\d+\s+\S+\s+\S+\s+\d+ \w{3} [ \d]\d +[\d:]+ "
                          r"(?P<name>.+)$",
            dos["PORT"]: r"^\d\d-\d\d-\d\d  \d\d:\d\d[AP]M\s+(?P<kind><DIR>|\d+) +(?P<name>.+)$",
        }
        for printed in (unix, dos):
            with self.subTest(port=printed["PORT"]):
                lines = []
                self.connect(printed).retrlines("LIST config", lines.append)
                entries = [re.match(styles[printed["PORT"]], line) for line in lines]
                self.assertTrue(all(entries), lines)
                directories = sorted(e["name"] for e in entries if e["kind"] in ("d", "<DIR>"))
                self.assertEqual(directories, ["Cabinet Juridique", "Service Cardiologie"])
                files = [e["name"] for e in entries if e["kind"] not in ("d", "<DIR>")]
                self.assertEqual(files, ["Catalogue.xml"])

        with self.assertRaisesRegex(ftplib.error_perm, "^530"):
            self.connect(unix, password="wrong")

    def test_cut_and_stalled_uploads_keep_what_was_read(self):
        for switch in ("--cut-after", "--stall-after"):
            with self.subTest(switch):
                root = self.tmp / switch
                printed = self.start(FTP_SERVER, "--root", root, *CREDENTIALS, switch, 1000)
                ftp = self.connect(printed, timeout=1)
                # Far more than the socket buffers hold, so a stalled transfer blocks the sender.
                with self.assertRaises(ftplib.all_errors):
                    ftp.storbinary("STOR import/JOB-2.wav", io.BytesIO(bytes(16 << 20)))
                self.assertEqual((root / "import" / "JOB-2.wav").stat().st_size, 1000)

    def test_read_limit_slows_an_upload_that_still_completes(self):
        root = self.tmp / "slow"
        printed = self.start(FTP_SERVER, "--root", root, *CREDENTIALS, "--read-limit", 200000)
        payload = bytes(range(256)) * 1000
        self.connect(printed).storbinary("STOR import/JOB-3.wav", io.BytesIO(payload))
        self.assertEqual((root / "import" / "JOB-3.wav").read_bytes(), payload)


    def test_tls_offered_or_required_and_told_in_the_journal(self):
        certificates = self.tmp / "tls"
        offered = self.start(FTP_SERVER, "--root", self.tmp / "offered", *CREDENTIALS, "--tls",
                             "--cert-dir", certificates)
        required = self.start(FTP_SERVER, "--root", self.tmp / "required", *CREDENTIALS, "--tls-required",
                              "--cert-dir", certificates)
        self.assertEqual(offered["CA"], required["CA"])  # one authority per certificate directory
        context = ssl.create_default_context(cafile=offered["CA"])
        for printed in (offered, required):
            with self.subTest(root=printed["ROOT"]):
                ftps = ftplib.FTP_TLS(context=context, timeout=10)
                self.addCleanup(ftps.close)
                ftps.connect("127.0.0.1", int(printed["PORT"]))
                ftps.login(LOGIN, PASSWORD)  # AUTH TLS first, the certificate verified
                ftps.prot_p()
                ftps.storbinary("STOR import/JOB-TLS.XML", io.BytesIO(b"<job/>"))
                self.assertEqual((Path(printed["ROOT"]) / "import" / "JOB-TLS.XML").read_bytes(), b"<job/>")

        # In clear: taken where TLS is only offered, refused before the login where it is required,
        # and so is a clear data connection under an encrypted login.
        self.connect(offered).storbinary("STOR import/JOB-CLAIR.XML", io.BytesIO(b"<job/>"))
        with self.assertRaisesRegex(ftplib.error_perm, "^550 SSL/TLS required on the control channel"):
            self.connect(required)
        half = ftplib.FTP_TLS(context=context, timeout=10)
        self.addCleanup(half.close)
        half.connect("127.0.0.1", int(required["PORT"]))
        half.login(LOGIN, PASSWORD)
        with self.assertRaisesRegex(ftplib.error_perm, "^550 SSL/TLS required on the data channel"):
            half.storbinary("STOR import/JOB-MOITIE.XML", io.BytesIO(b"<job/>"))

        journal = (self.tmp / "office-ftp-server.log").read_text()
        self.assertRegex(journal, r"STOR \S+/offered/import/JOB-TLS\.XML completed=1 .* control=TLS data=TLS")
        self.assertRegex(journal, r"STOR \S+/required/import/JOB-TLS\.XML completed=1 .* control=TLS data=TLS")
        self.assertRegex(journal, r"STOR \S+/offered/import/JOB-CLAIR\.XML completed=1 .* control=clear "
                                  r"data=clear")
        self.assertEqual(len(re.findall(r"session control=TLS", journal)), 3)
        self.assertEqual(len(re.findall(r"session control=clear", journal)), 1)
        self.assertNotIn("JOB-MOITIE", journal)

    def test_tls_options_that_cannot_go_together_are_refused(self):
        for options in (("--tls", "--tls-required"), ("--tls", "--cut-after", "10"),
                        ("--cert-dir", str(self.tmp / "tls"))):
            with self.subTest(options=options):
                result = subprocess.run([sys.executable, str(FTP_SERVER), "--root", str(self.tmp / "r"),
                                         *CREDENTIALS, *options], capture_output=True, text=True, timeout=30)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, "")


class HttpsSimulatorTest(SimulatorTestCase):
    def setUp(self):
        super().setUp()
        self.store, self.catalogues = self.tmp / "store", self.tmp / "config"
        printed = self.start(HTTPS_SERVER, "--store", self.store, "--catalogue-root", self.catalogues,
                             *CREDENTIALS, "--cert-dir", self.tmp / "tls")
        self.base = "https://127.0.0.1:%s" % printed["PORT"]
        self.context = ssl.create_default_context(cafile=printed["CA"])

    def request(self, path, body=None, password=PASSWORD, headers=None):
        token = base64.b64encode(("%s:%s" % (LOGIN, password)).encode()).decode()
        request = urllib.request.Request(self.base + path, data=body,
                                         headers={"Authorization": "Basic " + token, **(headers or {})})
        try:
            with urllib.request.urlopen(request, context=self.context, timeout=10) as response:
                return response.status, response.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def post_job(self, files):
        return self.request("/Orvane.WebServices/Import/PostFile", multipart(files),
                            headers={"Content-Type": "multipart/form-data; boundary=" + BOUNDARY})

    def control(self, **settings):
        request = urllib.request.Request(self.base + "/__control", data=json.dumps(settings).encode())
        with urllib.request.urlopen(request, context=self.context, timeout=10) as response:
            return json.load(response)

    def test_posted_job_is_stored_unzipped_and_answered_fini(self):
        archive = io.BytesIO()
        with zipfile.ZipFile(archive, "w") as zipped:
            zipped.writestr("JOB1.wav", b"RIFF....WAVE")
            zipped.writestr("JOB1.XML", "<job/>")
        documents = "/var/mobile/Documents/"
        status, raw = self.post_job({documents + "JOB1.zip": archive.getvalue(),
                                     documents + "JOB1-1.jpg": b"\xff\xd8"})

        self.assertEqual(status, 200)
        self.assertEqual(unwrap(raw), {"methodeStr": "PostFile", "resultStr": "Fini", "reasonStr": ""})
        job = self.store / "jobs" / "1"
        self.assertEqual(sorted(p.name for p in job.iterdir()),
                         ["JOB1-1.jpg", "JOB1.XML", "JOB1.wav", "JOB1.zip", "request.json"])
        self.assertEqual((job / "JOB1.wav").read_bytes(), b"RIFF....WAVE")
        recorded = json.loads((job / "request.json").read_text())
        self.assertEqual(recorded["headers"]["Authorization"],
                         "Basic " + base64.b64encode(("%s:%s" % (LOGIN, PASSWORD)).encode()).decode())
        self.assertEqual([p["name"] for p in recorded["parts"]],
                         [documents + "JOB1.zip", documents + "JOB1-1.jpg"])

    def test_directories_and_catalogues_unwrap_to_the_stored_text(self):
        # Quotes, backslashes and a slash before an escaped character all survive the client's unwrapping.
        tricky = '<Catalogue><Field>a/\n"b"\\c/\\d é</Field></Catalogue>\n'
        (self.catalogues / "Service Cardio").mkdir(parents=True)
        (self.catalogues / "Service Cardio" / "Catalogue.xml").write_text(tricky, encoding="utf-8")
        (self.catalogues / "Sans catalogue").mkdir()

        catalogue = "/Orvane.WebServices/Export/GetCatalogue?directoryName="
        cases = [
            ("/getlist.php", "GetDirectory", ["Sans catalogue", "Service Cardio"]),
            (catalogue + "Service%20Cardio", "GetCatalogue", tricky),
            ("/getconfigxml.php?name=Service%20Cardio", "GetCatalogue", tricky),
            (catalogue + "Sans%20catalogue", "GetCatalogue", ""),
        ]
        for path, method, result in cases:
            with self.subTest(path):
                status, raw = self.request(path)
                self.assertEqual(status, 200)
                self.assertEqual(unwrap(raw), {"methodeStr": method, "resultStr": result, "reasonStr": ""})

    def test_faults_set_through_the_control_route(self):
        directory = "/Orvane.WebServices/Export/GetDirectory"
        self.assertEqual(self.request(directory, password="wrong")[0], 401)

        self.control(fault="401", failFirst=1)
        self.assertEqual([self.request(directory)[0] for _ in range(2)], [401, 200])

        self.control(fault="erreur", reason="Disque plein")
        self.assertEqual(self.request(directory)[0], 200)
        self.assertEqual(unwrap(self.post_job({"/d/JOB3.XML": b"<job/>"})[1])["reasonStr"], "Disque plein")

        self.control(fault="not-json")
        with self.assertRaises(ValueError):
            unwrap(self.request(directory)[1])

        self.control(fault="cut")
        with self.assertRaises((OSError, http.client.HTTPException)):
            self.request(directory)
        self.assertFalse((self.store / "jobs" / "1").exists())


def envelope(operation, fields=(), header=None):
    """An envelope as the client writes it: extra namespace declarations, xsl:version on the root,
    no encoding in the declaration, fields in the given order, None fields left out."""
    def elements(pairs):
        return "".join("<WSVelmora:%s>%s</WSVelmora:%s>" % (name, escape(str(value)), name)
                       for name, value in pairs if value is not None)

    head = ("<soap:Header><WSVelmora:SecurityHeader>%s</WSVelmora:SecurityHeader></soap:Header>"
            % elements(header) if header is not None else "")
    return ('<?xml version="1.0"?>\n<soap:Envelope xmlns:soap="%s" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
            'xmlns:WSVelmora="%s" xsl:version="1.0">%s<soap:Body><WSVelmora:%s>%s</WSVelmora:%s></soap:Body>'
            '</soap:Envelope>' % (SOAP_ENV, TNS, head, operation, elements(fields), operation)).encode("utf-8")


class TranscriptionSimulatorTest(SimulatorTestCase):
    def start_service(self, *switches):
        self.store = self.tmp / "soap"
        printed = self.start(SOAP_SERVER, "--store", self.store, *CREDENTIALS, "--cert-dir", self.tmp / "tls",
                             "--quiet", *switches)
        self.url = "https://127.0.0.1:%s/DataTransfertService.asmx" % printed["PORT"]
        self.context = ssl.create_default_context(cafile=printed["CA"])

    def post(self, body, operation="Hello"):
        request = urllib.request.Request(self.url, data=body, headers={
            "Content-Type": "text/xml; charset=utf-8", "SOAPAction": TNS + operation})
        try:
            with urllib.request.urlopen(request, context=self.context, timeout=10) as response:
                return response.status, response.headers["Content-Type"], response.read()
        except urllib.error.HTTPError as error:
            return error.code, error.headers["Content-Type"], error.read()

    def call(self, operation, fields=(), header=None):
        """The operation's result text, or ("fault", code without prefix, string, actor)."""
        status, content_type, raw = self.post(envelope(operation, fields, header), operation)
        self.assertTrue(content_type.startswith("text/xml"), content_type)
        body = ElementTree.fromstring(raw).find("{%s}Body" % SOAP_ENV)
        fault = body.find("{%s}Fault" % SOAP_ENV)
        if fault is not None:
            self.assertEqual(status, 500)
            return ("fault", fault.findtext("faultcode").partition(":")[2], fault.findtext("faultstring"),
                    fault.findtext("faultactor"))
        self.assertEqual(status, 200)
        return body.find("{%s}%sResponse" % (TNS, operation)).findtext("{%s}%sResult" % (TNS, operation))

    def session(self):
        token = self.call("Authenticate", header=[("Username", LOGIN), ("Password", PASSWORD)])
        return [("Username", LOGIN), ("Password", PASSWORD), ("AuthenticatedToken", token)]

    def upload(self, header, job, chunks, refused=()):
        descriptor = "<ExportJobType><Auteur>Jean Dupré</Auteur></ExportJobType>"
        file_id = self.call("FileUploadLumetraInit", [("masterJobId", job), ("xmlfile", descriptor),
                                                      ("soundfileextension", "wav")], header)
        for number, data in enumerate(chunks):
            fields = [("fileID", file_id), ("ChunkID", number or None), ("Data", base64.b64encode(data).decode())]
            answers = [self.call("FileUploadSendChunk", fields, header) for _ in range(refused.count(number) + 1)]
            self.assertEqual(answers, ["false"] * refused.count(number) + ["true"], number)
        return file_id, descriptor

    def finish(self, header, job, content):
        client_hash = base64.b64encode(hashlib.sha1(content).digest()).decode()
        return self.call("FileUploadLumetraFinished", [("masterJobId", job), ("ClientHash", client_hash)], header)

    def test_wsdl_and_sessions(self):
        self.start_service()
        with urllib.request.urlopen(self.url + "?wsdl", context=self.context, timeout=10) as response:
            wsdl = response.read().decode()
        self.assertIn('targetNamespace="%s"' % TNS, wsdl)
        self.assertIn('soapAction="%sFileUploadSendChunk"' % TNS, wsdl)

        self.assertEqual(self.call("AreYouAlive"), "true")
        self.assertEqual(self.call("Authenticate", header=[("Username", LOGIN), ("Password", "wrong")]),
                         ("fault", "Client", "Identifiant ou mot de passe incorrect.", "Authenticate"))
        expired = ("fault", "Client", "Session expirée : veuillez vous authentifier de nouveau.", "GetModelList")
        self.assertEqual(self.call("GetModelList", header=[("AuthenticatedToken", "inventé")]), expired)

        models = ElementTree.fromstring(self.call("GetModelList", header=self.session()))
        self.assertIn("Compte rendu opératoire", [m.get("ModelName") for m in models.iter("ModelDocument")])

        journal = (self.store / "calls.log").read_text(encoding="utf-8")
        self.assertIn("Authenticate user=%s result=fault" % LOGIN, journal)
        self.assertNotIn(PASSWORD, journal)

    def test_chunks_reassembled_and_delivered_only_with_the_right_hash(self):
        self.start_service()
        header = self.session()
        chunks = [bytes([n]) * CHUNK for n in (1, 2)] + [b"fin"]
        content = b"".join(chunks)
        file_id, descriptor = self.upload(header, "JOB-1", chunks)

        send = [("fileID", file_id), ("Data", "QUJD")]
        self.assertEqual(self.call("FileUploadSendChunk", send[:1] + [("ChunkID", 5)] + send[1:], header), "false")
        self.assertEqual(self.call("FileUploadSendChunk", [("fileID", "inconnu"), ("Data", "QUJD")], header), "false")
        self.assertEqual(self.finish(header, "JOB-1", content + b"x"), "false")
        self.assertFalse((self.store / "jobs" / "JOB-1.wav").exists())

        self.assertEqual(self.finish(header, "JOB-1", content), "true")
        self.assertEqual((self.store / "jobs" / "JOB-1.wav").read_bytes(), content)
        self.assertEqual((self.store / "jobs" / "JOB-1.xml").read_text(encoding="utf-8"), descriptor)

        invalid = [("masterJobId", "JOB-2"), ("xmlfile", "<Autre/>"), ("soundfileextension", "wav")]
        self.assertEqual(self.call("FileUploadLumetraInit", invalid, header)[:3],
                         ("fault", "Client", "Descripteur de travail invalide."))

    def test_switches_refuse_chunks_hashes_and_operations(self):
        self.start_service("--refuse-chunk", "1:2", "--wrong-hash", "--fault-operation", "GetNews")
        header = self.session()
        chunks = [b"a" * CHUNK, b"b" * CHUNK, b"c"]
        self.upload(header, "JOB-3", chunks, refused=(1, 1))
        self.assertEqual(self.finish(header, "JOB-3", b"".join(chunks)), "false")
        self.assertEqual(self.call("GetNews", header=header),
                         ("fault", "Server", "Erreur simulée du service.", "GetNews"))
        journal = (self.store / "calls.log").read_text(encoding="utf-8")
        self.assertEqual(len(re.findall(r"ChunkID=1 bytes=%d result=false" % CHUNK, journal)), 2)

    def test_envelopes_off_the_schema_are_client_faults(self):
        self.start_service()
        header = self.session()
        chunk = [("fileID", "F"), ("ChunkID", 7), ("Data", "QUJD")]
        cases = {
            "misnamed field": ("FileUploadSendChunk", [("fileId", "F"), ("ChunkID", 7)], header),
            "fields out of order": ("FileUploadSendChunk", [chunk[1], chunk[0], chunk[2]], header),
            "integer not a number": ("FileUploadSendChunk", [chunk[0], ("ChunkID", "sept"), chunk[2]], header),
            "data not Base64": ("FileUploadSendChunk", chunk[:2] + [("Data", "@@@")], header),
            "misnamed header field": ("GetNews", [], [("User", LOGIN)] + header[1:]),
            "unknown operation": ("GetWeather", [], header),
        }
        for case, (operation, fields, security) in cases.items():
            with self.subTest(case):
                answer = self.call(operation, fields, security)
                self.assertEqual(answer[0], "fault", answer)
                self.assertTrue(answer[1].startswith("Client"), answer)
        self.assertEqual(self.call("FileUploadSendChunk", chunk, header), "false")


CASE_KEYS = {"id", "code", "label", "nature", "responsable", "collaborateur1", "collaborateur2", "secrétaire",
             "archive", "matière", "type", "datedecréation", "état", "provenance", "stockage", "mémo"}
RECENT = "/FendraWebMvcApp/Dossier/R%C3%A9cents"
SEARCH = "/FendraWebMvcApp/Dossier/Rechercher?value="
LOG_IN = "/FendraWebMvcApp/Login/LogMeIn"
WRONG_CREDENTIALS = "Identifiant ou mot de passe incorrect."


def log_in_body(user=LOGIN, password=PASSWORD, database="CABINET_DUPRE"):
    return json.dumps({"userlogin": user, "userpwd": password, "database": database, "clientId": "0a1b2c",
                       "clientVersion": "2", "type": "Vextil-Fendra", "versionOS": "12.1"}).encode("utf-8")


class CaseFileSimulatorTest(SimulatorTestCase):
    def start_server(self, *switches, store="cases"):
        self.store = self.tmp / store
        printed = self.start(CASEFILE_SERVER, "--store", self.store, *CREDENTIALS, "--cert-dir", self.tmp / "tls",
                             "--quiet", *switches)
        self.port = int(printed["PORT"])
        self.context = ssl.create_default_context(cafile=printed["CA"])

    def call(self, method, path, body=b"", cookie=None):
        """(status, headers, body) of one request; the path goes out as UTF-8, so it may hold raw "é"."""
        head = "%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: %d\r\n" % (
            method, path, len(body))
        if cookie:
            head += "Cookie: %s\r\n" % cookie
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as raw, \
                self.context.wrap_socket(raw, server_hostname="127.0.0.1") as tls:
            tls.sendall((head + "\r\n").encode("utf-8") + body)
            response = http.client.HTTPResponse(tls)
            response.begin()
            return response.status, response.headers, response.read()

    def log_in(self, cookie=None, **fields):
        """The log-in answer and the session cookie it set ("name=value"), or None."""
        status, headers, raw = self.call("POST", LOG_IN, log_in_body(**fields), cookie)
        self.assertEqual(status, 200)
        set_cookie = headers.get("Set-Cookie")
        session = None
        if set_cookie:
            (name, morsel), = SimpleCookie(set_cookie).items()
            self.assertEqual((morsel["path"], morsel["secure"], morsel["httponly"]), ("/", True, True))
            session = "%s=%s" % (name, morsel.value)
        return json.loads(raw), session

    def cases(self, path, cookie):
        """The case files answered, read twice as JSON and checked against the client's unwrapping."""
        status, headers, raw = self.call("GET", path, cookie=cookie)
        self.assertEqual((status, headers.get_content_type()), (200, "application/json"))
        cases = json.loads(json.loads(raw))
        self.assertEqual(unwrap(raw), cases)
        for case in cases:
            self.assertEqual(set(case), CASE_KEYS)
        return cases

    def journal(self):
        return (self.store / "calls.log").read_text(encoding="utf-8")

    def test_databases_offered(self):
        for count in (1, 3):
            with self.subTest(count=count):
                self.start_server("--databases", count, store="cases%d" % count)
                status, _, raw = self.call("GET", "/FendraWebMvcApp/Login/Databases")
                databases = json.loads(raw)
                self.assertEqual((status, len(databases)), (200, count))
                self.assertEqual(databases[0], {"Nom": "CABINET_DUPRE", "Libelle": "Cabinet Dupré & Associés"})
                self.assertEqual(len({d["Nom"] for d in databases}), count)

    def test_log_in_answers(self):
        self.start_server()
        answer, session = self.log_in()
        self.assertEqual(answer, {"code": 0, "description": "", "versionWS": "3.2", "intervenantId": "42"})
        self.assertIsNotNone(session)

        refused = {
            "wrong password": (log_in_body(password="wrong"), 101, WRONG_CREDENTIALS),
            "unknown user": (log_in_body(user="inconnu"), 101, WRONG_CREDENTIALS),
            "unknown database": (log_in_body(database="AUTRE"), 102, "Base de données inconnue : AUTRE"),
            "not JSON": (b"userlogin=x&userpwd=y", 103, "Requête de connexion illisible."),
            "empty body": (b"", 103, "Requête de connexion illisible."),
        }
        for case, (body, code, description) in refused.items():
            with self.subTest(case):
                status, headers, raw = self.call("POST", LOG_IN, body)
                self.assertEqual((status, json.loads(raw)), (200, {"code": code, "description": description}))
                self.assertIsNone(headers.get("Set-Cookie"))

        journal = self.journal()
        self.assertIn("user=%s database=CABINET_DUPRE clientId=0a1b2c clientVersion=2 type=Vextil-Fendra "
                      "versionOS=12.1 result=0" % LOGIN, journal)
        self.assertNotIn(PASSWORD, journal)

    def test_recent_cases_escaped_or_raw_path(self):
        self.start_server()
        _, session = self.log_in()
        stored = json.loads((self.store / "casefiles.json").read_text(encoding="utf-8"))
        escaped, raw = self.cases(RECENT, session), self.cases("/FendraWebMvcApp/Dossier/Récents", session)
        self.assertEqual(len(escaped), 20)
        self.assertEqual(escaped, raw)
        self.assertTrue(all(case in stored for case in escaped))
        self.assertIn("SCI Les Érables & fils", [case["label"] for case in escaped])
        # The client must cope with every shape the server sends within one page.
        for key in ("nature", "responsable", "datedecréation"):
            self.assertIn(None, [case[key] for case in escaped], key)
        dates = [case["datedecréation"] for case in escaped if case["datedecréation"]]
        self.assertTrue(all(re.fullmatch(r"\d{8}|\d\d/\d\d/\d{4}", date) for date in dates), dates)
        self.assertEqual({len(date) for date in dates}, {8, 10})

    def test_search_ignores_accents_and_case(self):
        self.start_server()
        _, session = self.log_in()
        searches = {
            "érables & FILS": "SCI Les Érables & fils",
            "LEFEVRE C/ SOCIETE generale": "Succession Lefèvre c/ Société Générale",
            'o’neil c/ sarl "l\'oeuvre': 'Prud\'hommes O\'Neil c/ SARL "L\'Œuvre d\'Orient"',
        }
        for text, label in searches.items():
            with self.subTest(text):
                found = self.cases(SEARCH + urllib.parse.quote(text, safe=""), session)
                self.assertIn(label, [case["label"] for case in found])
        self.assertIn('value="érables & FILS" token=ok result=1', self.journal())

        succession = [case for case in self.cases(SEARCH + "Succession", session)
                      if case["label"] == searches["LEFEVRE C/ SOCIETE generale"]]
        self.assertEqual([case["label"] for case in self.cases(SEARCH + succession[0]["code"], session)],
                         [succession[0]["label"]])
        self.assertEqual(len(self.cases(SEARCH + "e", session)), 100)
        self.assertEqual(self.cases(SEARCH + "introuvable", session), [])

    def test_token_expires_after_n_requests_and_log_in_renews_it(self):
        self.start_server("--token-requests", 2, "--wrong-password-code", 7)
        invalid = (200, b'"invalid token"')

        def recent(cookie):
            status, _, raw = self.call("GET", RECENT, cookie=cookie)
            return status, raw

        self.assertEqual(recent(None), invalid)
        self.assertEqual(self.log_in(password="wrong"), ({"code": 7, "description": WRONG_CREDENTIALS}, None))
        _, first = self.log_in()
        self.assertEqual([recent(first)[0] for _ in range(2)], [200, 200])
        self.assertEqual(recent(first), invalid)

        _, second = self.log_in(cookie=first)
        self.assertNotEqual(second, first)
        self.assertEqual(len(unwrap(recent(second)[1])), 20)
        self.assertEqual(recent(first), invalid)

        states = re.findall(r"Récents token=(\w+)", self.journal())
        self.assertEqual(states, ["missing", "ok", "ok", "expired", "ok", "unknown"])

    def test_html_error_and_logon_page(self):
        self.start_server("--html-error", store="html")
        status, headers, _ = self.call("GET", "/FendraWebMvcApp/Login/Databases")
        self.assertEqual((status, headers.get_content_type()), (500, "text/html"))

        self.start_server("--logon-page", store="logon")
        status, headers, raw = self.call("GET", RECENT)
        self.assertEqual((status, headers.get_content_type()), (200, "text/html"))
        self.assertIn(b"Log On", raw)


if __name__ == "__main__":
    unittest.main()
