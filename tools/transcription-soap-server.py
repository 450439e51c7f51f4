#!/usr/bin/python3
"""Simulated transcription service: a SOAP 1.1 web service (document/literal) over HTTPS that
validates every request against its schema, takes dictations in chunks and delivers them.

Prints "CA <ca.pem>", "STORE <dir>" then "PORT <n>" on stdout once it accepts connections;
logs go to stderr. See tools/README.md.
"""

import argparse
import base64
import binascii
import datetime
import hashlib
import io
import json
import logging
import os
import re
import secrets
import signal
import socket
import subprocess
import sys
import threading
import time
import uuid
from http.server import BaseHTTPRequestHandler
from urllib.parse import urlsplit

try:
    from lxml import etree
    from spyne import Application, ServiceBase, rpc
    from spyne.error import ValidationError
    from spyne.model.binary import ByteArray
    from spyne.model.complex import ComplexModel
    from spyne.model.fault import Fault
    from spyne.model.primitive import Boolean, DateTime, Integer32, Unicode
    from spyne.protocol.soap import Soap11
    from spyne.server.wsgi import WsgiApplication
except ImportError:
    # spyne and lxml come from Debian's python3-spyne and python3-lxml; another interpreter first
    # on PATH (pyenv, a venv) does not see them, so hand over to the system one.
    system_python = "/usr/bin/python3"
    if os.path.exists(system_python) and os.path.realpath(sys.executable) != os.path.realpath(system_python):
        os.execv(system_python, [system_python, os.path.abspath(__file__)] + sys.argv[1:])
    sys.exit("transcription-soap-server: spyne or lxml is missing (apt-get install python3-spyne python3-lxml)")

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from simulator_tls import TlsHTTPServer, ensure_certificates, server_context  # noqa: E402

TNS = "https://ws.velmora.fr/"
ENDPOINT = "/datatransfertservice.asmx"  # compared without case, as IIS does
CHUNK_STRIDE = 65537  # chunk n is stored at n * CHUNK_STRIDE
SOUND_EXTENSIONS = ("wav", "spx")
# Requests larger than this (an attachment, say) are refused by spyne before parsing.
MAX_REQUEST_BYTES = 256 << 20

WRONG_CREDENTIALS = "Identifiant ou mot de passe incorrect."
SESSION_EXPIRED = "Session expirée : veuillez vous authentifier de nouveau."
SIMULATED_FAULT = "Erreur simulée du service."
INVALID_JOB = "Descripteur de travail invalide."
HTML_ERROR_PAGE = ("<html><head><title>Erreur d'exécution</title></head><body><h1>Erreur du serveur dans "
                   "l'application '/'.</h1><p>Une exception non gérée s'est produite.</p></body></html>")

# Answered when the simulator itself fails on a request, rather than dropping the connection.
SERVER_FAULT = (b'<?xml version="1.0" encoding="utf-8"?>'
                b'<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body><soap:Fault>'
                b"<faultcode>soap:Server</faultcode><faultstring>Erreur interne du simulateur.</faultstring>"
                b"</soap:Fault></soap:Body></soap:Envelope>")

MODEL_LIST = ('<ModelList>'
              '<ModelDocument IdModel="M1" ModelFileName="courrier.dotx" ModelName="Courrier" ModelType="Lettre"/>'
              '<ModelDocument IdModel="M2" ModelFileName="compte-rendu-operatoire.dotx" '
              'ModelName="Compte rendu opératoire" ModelType="Compte rendu"/>'
              '<ModelDocument IdModel="M3" ModelFileName="ordonnance.dotx" ModelName="Ordonnance" '
              'ModelType="Prescription"/>'
              '<ModelCategory Name="Archivés"/>'
              '</ModelList>')


class SecurityHeader(ComplexModel):
    __namespace__ = TNS
    _type_info = [("Username", Unicode), ("Password", Unicode), ("AuthenticatedToken", Unicode)]


class ValidatingSoap11(Soap11):
    """Soap11 checks the body against the schema only; the security header is checked too, so
    that a misspelt or misplaced header field is a fault rather than a silent anonymous call.
    The envelope itself is not validated: its extra namespace declarations and attributes from
    other namespaces (xsl:version) are accepted as the SOAP schema's anyAttribute allows."""

    def decompose_incoming_envelope(self, ctx, message=Soap11.REQUEST):
        envelope = ctx.in_document[0]
        body = envelope.find("{%s}Body" % self.ns_soap_env)
        # Soap11 takes the body's first node for the call and fails on anything but an element.
        if envelope.tag == "{%s}Envelope" % self.ns_soap_env and (body is None or len(body) == 0
                                                                  or not isinstance(body[0].tag, str)):
            raise Fault("Client.SoapError", "Le corps de l'enveloppe SOAP ne contient aucune opération.")
        super().decompose_incoming_envelope(ctx, message)
        for element in ctx.in_header_doc or ():
            if isinstance(element.tag, str) and element.tag.startswith("{%s}" % TNS):
                self.validate_document(element)

    def byte_array_from_element(self, ctx, cls, element):
        # libxml2 lets characters outside the Base64 alphabet through xs:base64Binary and
        # b64decode would drop them: a chunk would be stored quietly corrupt.
        if element.text is None:
            return None
        try:
            return [base64.b64decode("".join(element.text.split()), validate=True)]
        except binascii.Error:
            raise ValidationError(element.text[:40], "Données Base64 invalides : %r")


def details_text(details):
    """key=value pairs for the journal; values with blanks or quotes are written as JSON strings."""
    parts = []
    for key, value in details.items():
        text = "" if value is None else str(value)
        if not text or re.search(r'[\s"=]', text):
            text = json.dumps(text, ensure_ascii=False)
        parts.append("%s=%s" % (key, text))
    return " ".join(parts)


class Upload:
    def __init__(self, file_id, path, kind, job=None, extension=None, xml=None, name=None):
        self.file_id, self.path, self.kind = file_id, path, kind
        self.job, self.extension, self.xml, self.name = job, extension, xml, name
        self.next_chunk = 0


class ServiceState:
    """Sessions, uploads in progress and the switches, shared by the handler threads."""

    def __init__(self, store, login, password, fault_operation, refusals, wrong_hash):
        self.lock = threading.Lock()
        self.store, self.login, self.password = store, login, password
        self.fault_operation, self.refusals, self.wrong_hash = fault_operation, refusals, wrong_hash
        self.tokens = set()
        self.uploads = {}  # fileID -> Upload
        self.jobs = {}  # masterJobId -> fileID of its latest init
        self.delivered = set()
        for name in ("uploads", "jobs", "files"):
            os.makedirs(os.path.join(store, name), exist_ok=True)

    def journal(self, operation, details, result):
        line = " ".join(filter(None, (operation, details_text(details), "result=%s" % result)))
        with self.lock, open(os.path.join(self.store, "calls.log"), "a", encoding="utf-8") as out:
            out.write(line + "\n")

    # --- sessions

    def authenticate(self, header):
        if header is None or header.Username != self.login or header.Password != self.password:
            raise Fault("Client", WRONG_CREDENTIALS, "Authenticate")
        token = secrets.token_urlsafe(24)
        with self.lock:
            self.tokens.add(token)
        return token

    def check_session(self, header, operation):
        with self.lock:
            if header is None or header.AuthenticatedToken not in self.tokens:
                raise Fault("Client", SESSION_EXPIRED, operation)

    # --- uploads

    def start_upload(self, kind, **fields):
        file_id = str(uuid.uuid4())
        path = os.path.join(self.store, "uploads", file_id + ".part")
        open(path, "wb").close()
        upload = Upload(file_id, path, kind, **fields)
        with self.lock:
            self.uploads[file_id] = upload
            if upload.job is not None:
                self.jobs[upload.job] = file_id
        return file_id

    def send_chunk(self, file_id, number, data):
        with self.lock:
            upload = self.uploads.get(file_id)
            if upload is None or number < 0:
                return False
            if number == upload.next_chunk:
                if self.refusals.get(number, 0) > 0:
                    self.refusals[number] -= 1
                    return False
                upload.next_chunk += 1
            elif number != upload.next_chunk - 1:
                return False
            # Written in place, never kept: a long dictation costs no memory here.
            descriptor = os.open(upload.path, os.O_WRONLY)
            try:
                os.pwrite(descriptor, data, number * CHUNK_STRIDE)
                os.ftruncate(descriptor, number * CHUNK_STRIDE + len(data))
            finally:
                os.close(descriptor)
            return True

    def cancel_upload(self, file_id):
        with self.lock:
            upload = self.uploads.pop(file_id, None)
            if upload is None:
                return False
            if upload.job is not None and self.jobs.get(upload.job) == file_id:
                del self.jobs[upload.job]
        os.unlink(upload.path)
        return True

    def take_finished(self, kind, client_hash, file_id=None, job=None):
        """The upload when its content's SHA-1 (Base64) is client_hash, else None. A matching
        upload leaves the table; a wrong one stays, so that the client can send it again."""
        with self.lock:
            if job is not None:
                file_id = self.jobs.get(job)
            upload = self.uploads.get(file_id)
            if upload is None or upload.kind != kind or self.wrong_hash:
                return None
        # Hashed once, here, outside the lock: other sessions go on while 100 MB are read.
        digest = hashlib.sha1()
        with open(upload.path, "rb") as source:
            for block in iter(lambda: source.read(1 << 20), b""):
                digest.update(block)
        if base64.b64encode(digest.digest()).decode() != client_hash:
            return None
        with self.lock:
            if self.uploads.get(upload.file_id) is not upload:
                return None  # cancelled meanwhile
            del self.uploads[upload.file_id]
            if upload.job is not None:
                if self.jobs.get(upload.job) == upload.file_id:
                    del self.jobs[upload.job]
                self.delivered.add(upload.job)
            self.delivered.add(upload.file_id)
            return upload

    def deliver_job(self, upload, attachment=None):
        """The descriptor (and attachment) first, the sound last: once STORE/jobs/<id>.<ext>
        exists, the job is complete."""
        base = os.path.join(self.store, "jobs", upload.job)
        write_file(base + ".xml", upload.xml.encode("utf-8"))
        if attachment is not None:
            write_file(base + ".attachment", attachment)
        os.replace(upload.path, base + "." + upload.extension)

    def deliver_file(self, upload):
        directory = os.path.join(self.store, "files", upload.file_id)
        os.makedirs(directory, exist_ok=True)
        name = os.path.basename((upload.name or "").replace("\\", "/"))
        if name in ("", ".", ".."):
            name = "fichier"
        os.replace(upload.path, os.path.join(directory, name))

    def job_status(self, identifier):
        with self.lock:
            known = identifier in self.delivered or identifier in self.uploads or identifier in self.jobs
        return "EnAttente" if known else "Inconnu"


def write_file(path, content):
    with open(path + ".tmp", "wb") as out:
        out.write(content)
    os.replace(path + ".tmp", path)


def safe_job_id(value):
    return bool(value) and value not in (".", "..") and not re.search(r"[/\\\x00]", value)


def possible_dates(senddate):
    start = senddate or datetime.datetime.now()
    dates = ['<PossibleDate IdService="S1" IdOption="O24" DateTimeReturn="%s" isHeader="true"/>'
             % (start + datetime.timedelta(hours=24)).strftime("%d/%m/%Y %H:%M")]
    for hours in (24, 48, 72):
        dates.append('<PossibleDate IdService="S1" IdOption="O%d" DateTimeReturn="%s" isHeader="false"/>'
                     % (hours, (start + datetime.timedelta(hours=hours)).strftime("%d/%m/%Y %H:%M")))
    return "<PossibleDates>%s</PossibleDates>" % "".join(dates)


def multiple_job_status(state, xml_job_list):
    """Answers the status of every identifier found in the list (element texts and Id attributes)."""
    identifiers = []
    try:
        root = etree.fromstring((xml_job_list or "").encode("utf-8"),
                                etree.XMLParser(resolve_entities=False, no_network=True))
        for element in root.iter():
            for value in (element.get("Id"), element.get("id"), element.text):
                if value and value.strip():
                    identifiers.append(value.strip())
    except etree.XMLSyntaxError:
        pass
    jobs = etree.Element("JobStatusList")
    for identifier in identifiers:
        etree.SubElement(jobs, "Job", Id=identifier, Status=state.job_status(identifier))
    return etree.tostring(jobs, encoding="unicode")


def make_application(state):
    """The service, bound to state. Every operation goes through call(), which applies the
    simulated fault and the session check and writes the journal line."""

    def call(ctx, operation, details, action, session=True):
        ctx.transport.req_env["simulator.journaled"] = True
        try:
            if state.fault_operation == operation:
                raise Fault("Server", SIMULATED_FAULT, operation)
            if session:
                state.check_session(ctx.in_header, operation)
            result = action()
        except Exception:  # a Fault, or a simulator error that spyne answers as a Server fault
            state.journal(operation, details, "fault")
            raise
        if isinstance(result, bool):
            shown = "true" if result else "false"
        else:
            shown = "ok"
        state.journal(operation, details, shown)
        return result

    def constant(text):
        return lambda: text

    class OpenService(ServiceBase):
        """Operations that need no session."""

        @rpc(_returns=Boolean)
        def AreYouAlive(ctx):
            return call(ctx, "AreYouAlive", {}, lambda: True, session=False)

        @rpc(_returns=Unicode)
        def GetExtensionsList(ctx):
            return call(ctx, "GetExtensionsList", {}, constant(";".join(SOUND_EXTENSIONS)), session=False)

    class DataTransfertService(ServiceBase):
        __in_header__ = SecurityHeader

        @rpc(_returns=Unicode)
        def Authenticate(ctx):
            header = ctx.in_header
            return call(ctx, "Authenticate", {"user": header.Username if header else None},
                        lambda: state.authenticate(header), session=False)

        @rpc(_returns=Unicode)
        def Hello(ctx):
            user = ctx.in_header.Username if ctx.in_header else None
            return call(ctx, "Hello", {}, constant("Bonjour %s, le service de transcription vous écoute."
                                                   % (user or "")))

        @rpc(Unicode, Integer32, _returns=Unicode)
        def FileUploadInit(ctx, FileName, SettingsID):
            details = {"FileName": FileName, "SettingsID": SettingsID or 0}

            def action():
                details["fileID"] = state.start_upload("file", name=FileName)
                return details["fileID"]

            return call(ctx, "FileUploadInit", details, action)

        @rpc(Unicode, Unicode, _returns=Boolean)
        def FileUploadFinished(ctx, fileID, ClientHash):
            def action():
                upload = state.take_finished("file", ClientHash, file_id=fileID)
                if upload is not None:
                    state.deliver_file(upload)
                return upload is not None

            return call(ctx, "FileUploadFinished", {"fileID": fileID}, action)

        @rpc(Unicode, Integer32, ByteArray, _returns=Boolean)
        def FileUploadSendChunk(ctx, fileID, ChunkID, Data):
            data = b"".join(Data or ())
            number = ChunkID or 0
            return call(ctx, "FileUploadSendChunk", {"fileID": fileID, "ChunkID": number, "bytes": len(data)},
                        lambda: state.send_chunk(fileID, number, data))

        @rpc(Unicode, Unicode)
        def FileUploadCancel(ctx, fileID, reason):
            call(ctx, "FileUploadCancel", {"fileID": fileID, "reason": reason},
                 lambda: state.cancel_upload(fileID))

        @rpc(_returns=Unicode)
        def GetServices(ctx):
            return call(ctx, "GetServices", {}, constant("Transcription médicale;Transcription juridique"))

        @rpc(_returns=Unicode)
        def GetMessages(ctx):
            return call(ctx, "GetMessages", {}, constant("Aucun nouveau message."))

        @rpc(_returns=Unicode)
        def GetGeneralSettings(ctx):
            return call(ctx, "GetGeneralSettings", {}, constant("DelaiStandard=48;Format=wav;Langue=fr-FR"))

        @rpc(_returns=Unicode)
        def GetNews(ctx):
            return call(ctx, "GetNews", {}, constant("Nouveauté : les comptes rendus sont livrés en 24 h."))

        @rpc(_returns=Unicode)
        def GetMyLanguage(ctx):
            return call(ctx, "GetMyLanguage", {}, constant("fr-FR"))

        @rpc(Unicode)
        def SendVersion(ctx, clientversion):
            call(ctx, "SendVersion", {"clientversion": clientversion}, constant(None))

        @rpc(_returns=Unicode)
        def GetButtonLinks(ctx):
            return call(ctx, "GetButtonLinks", {}, constant("Aide;https://ws.velmora.fr/aide"))

        @rpc(_returns=Unicode)
        def GetUserInfo(ctx):
            user = ctx.in_header.Username if ctx.in_header else None
            return call(ctx, "GetUserInfo", {}, constant("%s;Cabinet de démonstration" % (user or "")))

        @rpc(DateTime, _returns=Unicode)
        def GetPossibleDatesOfReturn(ctx, senddate):
            return call(ctx, "GetPossibleDatesOfReturn", {"senddate": senddate and senddate.isoformat()},
                        lambda: possible_dates(senddate))

        @rpc(_returns=Unicode)
        def GetModelList(ctx):
            return call(ctx, "GetModelList", {}, constant(MODEL_LIST))

        @rpc(Unicode, Unicode, Unicode, _returns=Unicode)
        def FileUploadLumetraInit(ctx, masterJobId, xmlfile, soundfileextension):
            details = {"masterJobId": masterJobId, "extension": soundfileextension}

            def action():
                try:
                    root = etree.fromstring((xmlfile or "").encode("utf-8"),
                                            etree.XMLParser(resolve_entities=False, no_network=True))
                except etree.XMLSyntaxError:
                    root = None
                if (root is None or etree.QName(root).localname != "ExportJobType" or not safe_job_id(masterJobId)
                        or soundfileextension not in SOUND_EXTENSIONS):
                    raise Fault("Client", INVALID_JOB, "FileUploadLumetraInit")
                details["fileID"] = state.start_upload("job", job=masterJobId, extension=soundfileextension,
                                                       xml=xmlfile)
                return details["fileID"]

            return call(ctx, "FileUploadLumetraInit", details, action)

        @rpc(Unicode, Unicode, _returns=Boolean)
        def FileUploadLumetraFinished(ctx, masterJobId, ClientHash):
            def action():
                upload = state.take_finished("job", ClientHash, job=masterJobId)
                if upload is not None:
                    state.deliver_job(upload)
                return upload is not None

            return call(ctx, "FileUploadLumetraFinished", {"masterJobId": masterJobId}, action)

        @rpc(Unicode, _returns=Unicode)
        def GetJobStatus(ctx, fileGUID):
            return call(ctx, "GetJobStatus", {"fileGUID": fileGUID}, lambda: state.job_status(fileGUID))

        @rpc(Unicode, _returns=ByteArray)
        def GetTranscriptionDocument(ctx, fileGUID):
            text = "Compte rendu de la dictée %s : transcription de démonstration.\n" % (fileGUID or "")
            return call(ctx, "GetTranscriptionDocument", {"fileGUID": fileGUID}, lambda: [text.encode("utf-8")])

        @rpc(Unicode, _returns=Unicode)
        def GetMultipleJobStatus(ctx, xmljoblist):
            return call(ctx, "GetMultipleJobStatus", {}, lambda: multiple_job_status(state, xmljoblist))

        @rpc(Unicode, Unicode, ByteArray, _returns=Boolean)
        def FileUploadLumetraFinishedWithAttachment(ctx, masterJobId, ClientHash, attachment):
            content = b"".join(attachment or ())

            def action():
                upload = state.take_finished("job", ClientHash, job=masterJobId)
                if upload is not None:
                    state.deliver_job(upload, content)
                return upload is not None

            return call(ctx, "FileUploadLumetraFinishedWithAttachment",
                        {"masterJobId": masterJobId, "attachment": len(content)}, action)

        @rpc(_returns=Unicode)
        def GetCompletedJobList(ctx):
            return call(ctx, "GetCompletedJobList", {}, constant("<CompletedJobList/>"))

    application = Application([OpenService, DataTransfertService], tns=TNS, name="DataTransfertService",
                              in_protocol=ValidatingSoap11(validator="lxml", huge_tree=True),
                              out_protocol=Soap11())
    return WsgiApplication(application, max_content_length=MAX_REQUEST_BYTES)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TranscriptionSimulator/1.0"

    def setup(self):
        super().setup()
        # Headers and body leave in separate writes; with Nagle's algorithm the body would wait
        # for the client's delayed acknowledgement (40 ms a chunk).
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def log_message(self, format, *args):
        if not self.server.quiet:
            sys.stderr.write("soap %s\n" % (format % args))

    def do_GET(self):
        self.dispatch(b"")

    def do_POST(self):
        try:
            body = self.read_body()
        except (OSError, ValueError):
            self.close_connection = True
            return
        self.dispatch(body)

    def read_body(self):
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
        return self.rfile.read(int(self.headers.get("Content-Length") or 0))

    def send(self, status, payload, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def dispatch(self, body):
        server = self.server
        split = urlsplit(self.path)
        try:
            if server.slow:
                time.sleep(server.slow)
            if split.path.lower() != ENDPOINT:
                return self.send(404, b"", "text/plain; charset=utf-8")
            if server.endless:
                return self.endless()
            if server.html_error and self.command == "POST":
                return self.send(500, HTML_ERROR_PAGE.encode("utf-8"), "text/html; charset=utf-8")
            try:
                status, headers, payload, environ = self.call_application(split, body)
            except Exception as error:  # noqa: BLE001 -- a simulator bug must not look like a network cut
                sys.stderr.write("soap: %r\n" % error)
                status, headers, environ = 500, [("Content-Type", "text/xml; charset=utf-8")], {}
                payload = SERVER_FAULT
            if self.command == "POST" and not environ.get("simulator.journaled"):
                # Refused before reaching an operation: unreadable, or not valid against the schema.
                match = re.search(rb"<(?:[\w.-]+:)?Body\b[^>]*>\s*<(?:[\w.-]+:)?([\w.-]+)", body)
                server.state.journal(match.group(1).decode() if match else "?", {}, "fault")
            if status == 500 and not server.quiet:
                fault = re.search(rb"<faultstring>(.*?)</faultstring>", payload, re.S)
                sys.stderr.write("soap fault: %s\n" % (fault.group(1).decode("utf-8", "replace") if fault else "?"))
            if split.query.lower().startswith("wsdl") and status == 200:
                payload = self.soap_actions_in_namespace(payload)
            if server.doubled_answers and self.command == "POST" and status == 200:
                payload = self.doubled(payload, server.doubled_answers)
            self.send_response(status)
            for name, value in headers:
                if name.lower() not in ("content-length", "connection", "transfer-encoding"):
                    self.send_header(name, value)
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            self.wfile.write(payload)
        except OSError:
            # The client gave up first (its own time limits).
            self.close_connection = True

    def call_application(self, split, body):
        environ = {
            "REQUEST_METHOD": self.command, "SCRIPT_NAME": "", "PATH_INFO": split.path,
            "QUERY_STRING": split.query, "CONTENT_LENGTH": str(len(body)),
            "SERVER_NAME": "127.0.0.1", "SERVER_PORT": str(self.server.server_address[1]),
            "SERVER_PROTOCOL": self.request_version, "REMOTE_ADDR": self.client_address[0],
            "wsgi.version": (1, 0), "wsgi.url_scheme": "https", "wsgi.input": io.BytesIO(body),
            "wsgi.errors": sys.stderr, "wsgi.multithread": True, "wsgi.multiprocess": False,
            "wsgi.run_once": False,
        }
        if "Content-Type" in self.headers:
            environ["CONTENT_TYPE"] = self.headers["Content-Type"]
        for name, value in self.headers.items():
            key = "HTTP_" + name.upper().replace("-", "_")
            if key not in ("HTTP_CONTENT_TYPE", "HTTP_CONTENT_LENGTH"):
                environ[key] = value
        answer = {}

        def start_response(status, headers, exc_info=None):
            answer["status"], answer["headers"] = int(status.split()[0]), headers

        result = self.server.application(environ, start_response)
        try:
            payload = b"".join(part if isinstance(part, bytes) else part.encode("utf-8") for part in result)
        finally:
            if hasattr(result, "close"):
                result.close()
        return answer["status"], answer["headers"], payload, environ

    @staticmethod
    def soap_actions_in_namespace(wsdl):
        # spyne names each soapAction after the bare operation; the service's are namespace + name.
        return re.sub(rb'soapAction="(\w+)"', lambda m: b'soapAction="' + TNS.encode() + m.group(1) + b'"', wsdl)

    @staticmethod
    def doubled(payload, how):
        """A confused service: the Body's response twice, or a fault after it."""
        match = re.search(rb"(<(?:[\w.-]+:)?Body\b[^>]*>)(.*)(</(?:[\w.-]+:)?Body>)", payload, re.S)
        if not match:
            return payload
        prefix = re.match(rb"<([\w.-]+:)?Body", match.group(1)).group(1) or b""
        extra = match.group(2) if how == "response" else (
            b"<" + prefix + b"Fault><faultcode>" + prefix + b"Server</faultcode>"
            b"<faultstring>R\xc3\xa9ponse contradictoire.</faultstring></" + prefix + b"Fault>")
        return payload[:match.start(2)] + match.group(2) + extra + payload[match.end(2):]

    def endless(self):
        """Headers of a success, then a body that trickles in for ever; returns when the client gives up."""
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(b'<?xml version="1.0" encoding="utf-8"?><soap:Envelope '
                         b'xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body>')
        while True:
            time.sleep(0.2)
            self.wfile.write(b" ")
            self.wfile.flush()


class SoapServer(TlsHTTPServer):
    def __init__(self, address, context, application, state, args):
        super().__init__(address, Handler, context)
        self.application, self.state = application, state
        self.quiet, self.slow = args.quiet, args.slow
        self.endless, self.html_error = args.endless, args.html_error
        self.doubled_answers = args.doubled_answers


def parse_refusals(values):
    """"N[:COUNT]" items, repeated or comma-separated -> {N: COUNT}."""
    refusals = {}
    for value in values:
        for item in filter(None, (part.strip() for part in value.split(","))):
            match = re.fullmatch(r"(\d+)(?::(\d+))?", item)
            if not match:
                raise argparse.ArgumentTypeError("--refuse-chunk attend N ou N:NOMBRE, pas %r" % item)
            number = int(match.group(1))
            refusals[number] = refusals.get(number, 0) + int(match.group(2) or 1)
    return refusals


def main():
    parser = argparse.ArgumentParser(description="Simulated transcription service (SOAP over HTTPS on 127.0.0.1).")
    parser.add_argument("--store", required=True, help="uploads, delivered jobs and calls.log (created if missing)")
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--cert-dir", help="CA and server certificate, made when missing (default STORE/tls)")
    parser.add_argument("--fault-operation", metavar="NAME", help="that operation answers a SOAP fault")
    parser.add_argument("--refuse-chunk", action="append", default=[], metavar="N[:COUNT]",
                        help="chunk N is refused COUNT times (default 1) before being accepted")
    parser.add_argument("--wrong-hash", action="store_true", help="every finish answers false")
    parser.add_argument("--slow", type=float, default=0.0, metavar="SECONDS", help="delay every answer")
    parser.add_argument("--endless", action="store_true", help="every answer's body never ends")
    parser.add_argument("--html-error", action="store_true", help="every POST answers 500 with an HTML page")
    parser.add_argument("--doubled-answers", choices=("response", "fault"),
                        help="every successful answer carries its response twice, or a fault after it")
    parser.add_argument("--quiet", action="store_true", help="no request log on stderr")
    args = parser.parse_args()
    try:
        refusals = parse_refusals(args.refuse_chunk)
    except argparse.ArgumentTypeError as error:
        parser.error(str(error))

    # spyne logs every fault with its traceback; the handler says it in one line instead.
    logging.basicConfig(stream=sys.stderr, level=logging.WARNING, format="soap %(name)s: %(message)s")
    logging.getLogger("spyne").setLevel(logging.CRITICAL)
    store = os.path.abspath(args.store)
    try:
        ca, cert, key = ensure_certificates(os.path.abspath(args.cert_dir or os.path.join(store, "tls")))
    except subprocess.CalledProcessError as error:
        sys.exit("transcription-soap-server: openssl failed: %s" % error.stderr.decode(errors="replace"))

    state = ServiceState(store, args.login, args.password, args.fault_operation, refusals, args.wrong_hash)
    server = SoapServer(("127.0.0.1", args.port), server_context(cert, key), make_application(state), state, args)
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
