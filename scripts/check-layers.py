#!/usr/bin/env python3
"""Checks that each folder includes only the folders below it, so the system reads from the
ground up: Platform, then core, screens' shared pieces, workflow, the transcription service's
client, audio, packaging, transport,
the site screens, the application object, and the programs. The desktop program may include
everything; nothing else may include Qt, so that the system builds and is tested without it."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# folder -> folders it may include (besides itself)
ALLOWED = {
    "Platform": [],
    "Classes/core": ["Platform"],
    "Classes/screens": ["Platform", "Classes/core"],
    "Classes/workflow": ["Platform", "Classes/core", "Classes/screens"],
    "Classes/soap": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow"],
    "Classes/audio": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow"],
    "Classes/packaging": ["Platform", "Classes/core", "Classes/soap", "Classes/workflow"],
    "Classes/casefile": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow"],
    "Classes/transport": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow", "Classes/audio",
                          "Classes/packaging", "Classes/soap"],
    "Gestion Site": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow", "Classes/transport"],
    "Classes/app": ["Platform", "Classes/core", "Classes/screens", "Classes/workflow", "Classes/audio",
                    "Classes/packaging", "Classes/soap", "Classes/transport", "Classes/casefile", "Gestion Site"],
}

# The only files that may include GLib or libsecret: the desktop keyring's back-end, built apart
# (the rest of the system sees the neutral SecretStore).
GLIB_ALLOWED = re.compile(r"^Platform/secrets/Libsecret[^/]*\.(h|cpp)$")
GLIB_INCLUDE = re.compile(r'^\s*#\s*include\s+[<"]((?:glib|gio|gobject|libsecret)[-/A-Za-z0-9_.]*)[>"]', re.M)

# Folders whose files may include Qt headers.
QT_ALLOWED = ["App/desktop", "tests/desktop"]
QT_INCLUDE = re.compile(r'^\s*#\s*include\s+[<"](Q[A-Za-z]+|Qt[A-Za-z]+/[^>"]*)[>"]', re.M)

INCLUDE = re.compile(r'^\s*#\s*include\s+"((?:Classes/[A-Za-z]+|Gestion Site|Platform|App)[^"]*)"', re.M)


def folder_of(path):
    for name in sorted(ALLOWED, key=len, reverse=True):
        if path == name or path.startswith(name + "/"):
            return name
    return path.split("/")[0]


def main():
    faults = []
    for folder, allowed in ALLOWED.items():
        base = ROOT / folder
        if not base.exists():
            continue
        for source in sorted(base.rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            text = source.read_text(encoding="utf-8", errors="replace")
            for included in INCLUDE.findall(text):
                target = folder_of(included)
                if target != folder and target not in allowed:
                    faults.append(f"{source.relative_to(ROOT)} includes {included} ({target} is above {folder})")
    for source in sorted(ROOT.rglob("*")):
        relative = source.relative_to(ROOT).as_posix()
        if source.suffix not in (".h", ".cpp") or relative.startswith(("build", ".")) or "/build" in relative:
            continue
        text = source.read_text(encoding="utf-8", errors="replace")
        if not GLIB_ALLOWED.match(relative):
            for included in GLIB_INCLUDE.findall(text):
                faults.append(f"{relative} includes {included} (only Platform/secrets/Libsecret* may use GLib)")
        if any(relative.startswith(folder + "/") for folder in QT_ALLOWED):
            continue
        for included in QT_INCLUDE.findall(text):
            faults.append(f"{relative} includes {included} (only the desktop program may use Qt)")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layering")
        return 1
    print("layering respected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
