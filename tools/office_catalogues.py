"""Demo catalogues shared by the office simulators (FTP and HTTPS).

A catalogue root holds "Catalogue.xml" for the root itself and one sub-directory per
configuration directory, each with its own "Catalogue.xml".
"""

import os
from xml.sax.saxutils import escape

CATALOGUE_FILE = "Catalogue.xml"

# Directory name ("" is the root) -> (users, worktypes, services, fields).
# users: (role, login, display name, email, group, id, contexts); worktypes: (name, typist, type).
_DEMO = {
    "": (
        [
            ("Dictant", "jdupont", "Jean Dupont", "jean.dupont@cabinet.fr", "", "101", "Courrier;Rapport"),
            ("Secretaire", "amartin", "Anne Martin", "", "Pool A", "202", ""),
        ],
        [("Courrier", "amartin", "Lettre"), ("Compte rendu", "amartin", "CR")],
        [],
        [("jobtitle", "Titre"), ("identvalue", "Dossier")],
    ),
    "Service Cardiologie": (
        [
            ("Dictant", "plefebvre", "Dr Paul Lefebvre", "p.lefebvre@clinique.fr", "", "301",
             "Consultation;Échographie"),
            ("Dictant", "cmoreau", "Dr Claire Moreau", "c.moreau@clinique.fr", "", "302", "Consultation"),
            ("Secretaire", "sbernard", "Sophie Bernard", "", "Secrétariat cardio", "310", ""),
        ],
        [("Compte rendu", "sbernard", "CR"), ("Courrier médecin", "sbernard", "Lettre")],
        [("svc-cardio", "Cardiologie", "true", "", ["plefebvre", "cmoreau", "sbernard"], ["Compte rendu"])],
        [("jobtitle", "Patient"), ("identvalue", "N° de séjour")],
    ),
    "Cabinet Juridique": (
        [
            ("Dictant", "mdurand", "Me Marie Durand", "m.durand@avocats.fr", "", "401",
             "Conclusions;Courrier"),
            ("Secretaire", "lpetit", "Luc Petit", "", "Assistants", "410", ""),
        ],
        [("Conclusions", "lpetit", "Acte"), ("Courrier", "lpetit", "Lettre")],
        [],
        [("jobtitle", "Affaire"), ("identvalue", "Référence dossier")],
    ),
}


def _element(name, text):
    return "<%s>%s</%s>" % (name, escape(text), name) if text else "<%s />" % name


def demo_catalogue(directory):
    users, worktypes, services, fields = _DEMO[directory]
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<Catalogue>", "  <LoginUserInfos>"]
    for role, login, display, email, group, ident, contexts in users:
        children = zip(
            ("Role", "LoginName", "DisplayName", "Email", "Groupe", "LoginId", "Context"),
            (role, login, display, email, group, ident, contexts),
        )
        lines.append("    <LoginUserInfo>%s</LoginUserInfo>" % "".join(_element(n, t) for n, t in children))
    lines += ["  </LoginUserInfos>", "  <Worktypes>"]
    for name, typist, kind in worktypes:
        lines.append(
            "    <Worktype>%s%s%s<Tracage>false</Tracage><Duree>48</Duree></Worktype>"
            % (_element("Nom", name), _element("Secretaire", typist), _element("Type", kind))
        )
    lines += ["  </Worktypes>", "  <Services>"]
    for guid, name, is_site, parent, members, kinds in services:
        lines.append(
            "    <Service>%s%s%s%s<SiteId>S1</SiteId><ServiceUsers>%s</ServiceUsers>"
            "<ServiceWorktypes>%s</ServiceWorktypes></Service>"
            % (
                _element("Guid", guid),
                _element("Name", name),
                _element("IsSite", is_site),
                _element("DepartementParent", parent),
                "".join(_element("UserId", m) for m in members),
                "".join(_element("WorktypeId", k) for k in kinds),
            )
        )
    lines += ["  </Services>", "  <Fields>"]
    for key, value in fields:
        lines.append("    <Field>%s%s</Field>" % (_element("Key", key), _element("Value", value)))
    lines += ["  </Fields>", "</Catalogue>", ""]
    return "\n".join(lines)


def seed_demo(catalogue_root):
    """Writes (or rewrites) the demo catalogues under catalogue_root."""
    for directory in _DEMO:
        target = os.path.join(catalogue_root, directory)
        os.makedirs(target, exist_ok=True)
        with open(os.path.join(target, CATALOGUE_FILE), "w", encoding="utf-8") as out:
            out.write(demo_catalogue(directory))
