#!/usr/bin/env bash
# The Debian package as a school's IT person meets it: lintian finds no
# error; apt installs it; the installed enlazor-cli runs and exports the
# sample school; removing it leaves none of its files.
#   bash tests/deb_test.sh enlazor_VERSION_amd64.deb SAMPLE.xml
set -euo pipefail
deb=$(realpath "$1")
sample=$(realpath "$2")
fail() { echo "FALLO: $*"; exit 1; }

lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian encontró errores"
apt-get install -y -qq "$deb" > /dev/null
files=$(dpkg-query -L enlazor | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ -n "$files" ] || fail "el paquete no instaló archivos"
/usr/bin/enlazor-cli --version | grep -q "^enlazor-cli " || fail "enlazor-cli --version"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/HTEMP"
/usr/bin/enlazor-cli export "$sample" --workdir "$work/HTEMP" --silencio || fail "la exportación con el programa instalado"
[ -f "$work/HTEMP/PROFT.DBF" ] || fail "la exportación no dejó PROFT"
desktop-file-validate /usr/share/applications/enlazor.desktop > /dev/null || fail "la entrada del escritorio"
apt-get remove --purge -y -qq enlazor > /dev/null
for f in $files; do [ ! -e "$f" ] || fail "queda $f"; done
dpkg-query -W enlazor > /dev/null 2>&1 && fail "el paquete sigue registrado"
echo "Paquete: lintian sin errores; se instala, funciona y se quita sin dejar nada ($(echo "$files" | wc -l) archivos)"
