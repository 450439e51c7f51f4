#!/usr/bin/env bash
# The end-to-end demonstration: the office's FTP and HTTPS servers are simulated on this machine,
# a demo profile imports its workflow from the FTP server over TLS, records a dictation from a spoken
# French sample and sends it by FTP, then imports the workflow again by web service and sends a
# second dictation that way, and shows where the job files landed and that the outbox is empty.
# Then a transcription service is simulated too: the profile checks it and sends it a dictation
# whose typist is the service. Last, the office's practice-management server is simulated: the
# profile logs in, searches a case file, and a draft dictation takes its title and identifier
# from it, then its identifier from a printed QR code.
# Expects a build in build/, or in $ORVANEH_BUILD_DIR (./run.sh makes it).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${ORVANEH_BUILD_DIR:-$root/build}/bin/orvaneh-cli"
work="${ORVANEH_DEMO_DIR:-$root/build/demo}"

rm -rf "$work"
mkdir -p "$work"
home="$work/profil"
source "$root/scripts/simulators.sh"

login='secretariat@cabinet'
password='dict:2024'
# One certificate authority for every HTTPS simulator: the profile trusts one file.
certificates="$work/certificats"
echo "== Serveurs du cabinet simulés sur cette machine"
start_simulator ftp office-ftp-server.py --root "$work/serveur-ftp" --login "$login" \
  --password "$password" --seed-demo --tls --cert-dir "$certificates"
start_simulator https office-https-server.py --store "$work/serveur-web" --login "$login" \
  --password "$password" --catalogue-root "$work/serveur-ftp/config" --cert-dir "$certificates"
ftp_port=$(simulator_value ftp PORT)
https_port=$(simulator_value https PORT)
echo "FTP   : ftp://127.0.0.1:$ftp_port (import/ et config/, chiffrement TLS proposé)"
echo "HTTPS : https://127.0.0.1:$https_port (services web, certificat $(simulator_value https CA))"

echo
echo "== Profil de démonstration : $home"
"$cli" --home "$home" start >/dev/null
"$cli" --home "$home" settings set TrustedCertificatesFile "$(simulator_value https CA)" >/dev/null
# The password goes through the environment, so it never shows in the process list.
ORVANEH_PASSWORD="$password" "$cli" --home "$home" site add --name "Cabinet (FTP)" --type 1 \
  --address "127.0.0.1:$ftp_port" --login "$login" --ftps required --default
"$cli" --home "$home" site list

echo
echo "== Import du workflow depuis le serveur FTP (dossier « Service Cardiologie »)"
"$cli" --home "$home" workflow import --dir "Service Cardiologie"
"$cli" --home "$home" workflow show | head -n 8

echo
echo "== Dictée enregistrée à partir d'un échantillon parlé (espeak-ng, 16 kHz mono)"
espeak-ng -v fr -s 150 -w "$work/parole.wav" \
  "Compte rendu de consultation. Le patient ne présente pas de signe d'insuffisance cardiaque. \
Échographie de contrôle dans trois mois."
sox "$work/parole.wav" -r 16000 -c 1 -b 16 "$work/prise.wav"
first=$("$cli" --home "$home" dictation new --audio "$work/prise.wav" --author plefebvre \
  --worktype "Compte rendu" --title "Consultation Martin" --ident "S-2024-118" --send)
"$cli" --home "$home" dictation list

echo
echo "== Envoi par FTP chiffré (FTPS)"
"$cli" --home "$home" send

echo
echo "== Envoi par service web"
ORVANEH_PASSWORD="$password" "$cli" --home "$home" site add --name "Cabinet (web)" --type 2 \
  --address "127.0.0.1:$https_port" --login "$login" --default >/dev/null
echo "Import du workflow par service web (dossier « Service Cardiologie »)"
"$cli" --home "$home" workflow import --dir "Service Cardiologie"
second=$("$cli" --home "$home" dictation new --audio "$work/prise.wav" --author cmoreau \
  --worktype "Compte rendu" --title "Consultation Durand" --send)
"$cli" --home "$home" send

echo
echo "== Côté cabinet : les fichiers reçus"
echo "Dossier import/ du serveur FTP (dictée $first) :"
ls -l "$work/serveur-ftp/import" | tail -n +2
echo "Travaux reçus par le service web (dictée $second) :"
(cd "$work/serveur-web/jobs" && find . -type f ! -name request.json | sort)

echo
echo "== Boîte d'envoi"
"$cli" --home "$home" dictation list

echo
echo "== Service de transcription simulé"
start_simulator transcription transcription-soap-server.py --store "$work/service-transcription" \
  --login "$login" --password "$password" --cert-dir "$certificates"
transcription_port=$(simulator_value transcription PORT)
ORVANEH_PASSWORD="$password" "$cli" --home "$home" site add --name "Transcription" --type 6 \
  --address "127.0.0.1:$transcription_port" --login "$login" >/dev/null
echo "Vérification du service (orvaneh-cli transcription check) :"
"$cli" --home "$home" transcription check
# The office's catalogue names the service as a typist; its dictations go to the service.
cat >"$work/catalogue-transcription.xml" <<'EOF'
<?xml version="1.0" encoding="utf-8"?>
<Catalogue>
  <LoginUserInfos>
    <LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>Velmora</LoginName></LoginUserInfo>
  </LoginUserInfos>
  <Worktypes>
    <Worktype><Nom>Compte rendu</Nom><Secretaire>Velmora</Secretaire><Type>CR</Type></Worktype>
  </Worktypes>
</Catalogue>
EOF
echo "Catalogue où la secrétaire « Velmora » est le service de transcription"
"$cli" --home "$home" workflow import-file "$work/catalogue-transcription.xml"
"$cli" --home "$home" settings set SendToVelmora true >/dev/null
third=$("$cli" --home "$home" dictation new --audio "$work/prise.wav" --author plefebvre \
  --worktype "Compte rendu" --typist Velmora --title "Consultation Petit" --send)
"$cli" --home "$home" send
echo "Travaux reçus par le service de transcription (dictée $third) :"
ls -l "$work/service-transcription/jobs" | tail -n +2
echo "Boîte d'envoi :"
"$cli" --home "$home" dictation list

echo
echo "== Dossiers du cabinet (logiciel de gestion simulé) et code imprimé"
start_simulator dossiers casefile-https-server.py --store "$work/serveur-dossiers" --login "$login" \
  --password "$password" --cert-dir "$certificates"
dossiers_port=$(simulator_value dossiers PORT)
printf '%s\n' "$password" | "$cli" --home "$home" dossier login --host "127.0.0.1:$dossiers_port" \
  --user "$login" --database CABINET_DUPRE --password-stdin
echo "Recherche « Succession Lefèvre » :"
"$cli" --home "$home" dossier list --search "Succession Lefèvre"
code=$("$cli" --home "$home" dossier list --search "Succession Lefèvre" --json |
  python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["code"])')
fourth=$("$cli" --home "$home" dictation new --audio "$work/prise.wav" --author plefebvre \
  --worktype "Compte rendu" --dossier "$code" --draft)
echo "Dictée $fourth, titre et identifiant pris du dossier $code :"
"$cli" --home "$home" dictation params "$fourth" | head -n 2
qrencode -o "$work/etiquette.png" "Réf. ${code}/B"
"$cli" --home "$home" dictation params "$fourth" --ident-from-image "$work/etiquette.png" | head -n 2
