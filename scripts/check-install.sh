#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks the installed programs work from there:
# the command line makes a profile from the database template of <prefix>/share/orvaneh, and the menu entry and AppStream description are valid (when the
# Debian validators are present). Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null
unset ORVANEH_RESOURCES ORVANEH_HOME

for file in bin/orvaneh-cli share/orvaneh/db_Quira.sql share/orvaneh/localisation/fr.json \
  share/orvaneh/info/a-propos.html; do
  [[ -f "$prefix/usr/$file" ]] || { echo "Absent de l'installation : $file" >&2; exit 1; }
done
# Nothing from the build tree nor the test tools.
if find "$prefix" -name 'office-*' -o -name '*_tests' -o -name 'make-database-template' | grep .; then
  echo "Installé à tort (ci-dessus)" >&2
  exit 1
fi
"$prefix/usr/bin/orvaneh-cli" --home "$prefix/profil" start >/dev/null
[[ -f "$prefix/profil/Documents/db_Quira.sql.sqlite" ]]

if [[ -x "$prefix/usr/bin/orvaneh" ]]; then
  "$prefix/usr/bin/orvaneh" --help >/dev/null
  [[ -f "$prefix/usr/share/icons/hicolor/scalable/apps/orvaneh.svg" ]]
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix"/usr/share/applications/*.desktop | { grep -v hint: || true; }
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix"/usr/share/metainfo/*.metainfo.xml >/dev/null
  fi
fi
echo "Installation vérifiée"
