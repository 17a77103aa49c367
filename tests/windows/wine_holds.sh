#!/usr/bin/env bash
# A Windows program under Wine and a native Enlazor run on the same folder see
# each other's holds: Wine's LockFileEx is a POSIX record lock, and so are ours.
#   bash tests/windows/wine_holds.sh LINUX_BUILD WINDOWS_BUILD SOURCE
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
export WINEDEBUG=-all
scratch=$(mktemp -d /tmp/enlazor-bloqueos-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
work="$scratch/HTEMP"
mkdir -p "$work"
"$linux/cli/enlazor-cli" export "$source/samples/seneca-ies-enlazor.xml" --workdir "$work" --silencio
"$linux/tools/make_timetable" "$work"
printf x > "$scratch/h.xml"
fail() { echo "FALLO: $*"; exit 1; }

# Horavia (a Windows program under Wine) holds AULAT: the native import stops naming it.
mkfifo "$scratch/suelta"
wine "$windows/tests/hold_table.exe" "$(winepath -w "$work")" AULAT horavia < "$scratch/suelta" > "$scratch/listo" &
exec 3> "$scratch/suelta"
for _ in $(seq 100); do grep -q listo "$scratch/listo" && break; sleep 0.1; done
grep -q listo "$scratch/listo" || fail "el programa de Windows no pudo bloquear AULAT"
set +e
"$linux/cli/enlazor-cli" import "$scratch/h.xml" --workdir "$work" --template "$source/samples/base.xml" 2> "$scratch/error"
code=$?
set -e
exec 3>&-
wait
[ "$code" = 1 ] && grep -q "AULAT.DBF' está en uso por otro programa" "$scratch/error" || fail "la importación nativa no vio el bloqueo de Wine: $(cat "$scratch/error")"

# A native run holds AULAT: the Windows program cannot take it.
"$linux/tests/hold_table" "$work" AULAT enlazor-shared < <(sleep 10) > "$scratch/nativo" &
for _ in $(seq 100); do grep -q listo "$scratch/nativo" && break; sleep 0.1; done
set +e
wine "$windows/tests/hold_table.exe" "$(winepath -w "$work")" AULAT probe
probe=$?
set -e
kill %1 2> /dev/null || true
[ "$probe" = 1 ] || fail "el programa de Windows bloqueó AULAT mientras Enlazor la tenía"

# One command at a time in a work folder, whichever system runs it: a native
# run holding the staging folder stops a Windows run under Wine, and the reverse.
native_export() { "$linux/cli/enlazor-cli" export "$source/samples/seneca-ies-enlazor.xml" --workdir "$work" --silencio; }
wine_export() {
  wine "$windows/cli/enlazor-cli.exe" export "$(winepath -w "$source/samples/seneca-ies-enlazor.xml")" \
    --workdir "$(winepath -w "$work")" --silencio
}
refused() {  # the export given is refused before anything is touched, saying another command is under way
  set +e
  "$@" 2> "$scratch/error"
  local code=$?
  set -e
  [ "$code" = 3 ] && grep -q "Otra orden de Enlazor.* está en curso" "$scratch/error"
}
"$linux/tests/hold_table" "$work/.enlazor-nuevo" - carpeta < <(sleep 20) > "$scratch/carpeta" &
for _ in $(seq 100); do grep -q listo "$scratch/carpeta" && break; sleep 0.1; done
refused wine_export || fail "una exportación bajo Wine no vio la carpeta ocupada por Linux: $(cat "$scratch/error")"
kill %1 2> /dev/null || true
wait
rm -f "$scratch/suelta" "$scratch/listo"
mkfifo "$scratch/suelta"
wine "$windows/tests/hold_table.exe" "$(winepath -w "$work/.enlazor-nuevo")" - carpeta < "$scratch/suelta" > "$scratch/listo" &
exec 3> "$scratch/suelta"
for _ in $(seq 100); do grep -q listo "$scratch/listo" && break; sleep 0.1; done
refused native_export || fail "una exportación nativa no vio la carpeta ocupada bajo Wine: $(cat "$scratch/error")"
exec 3>&-
wait
native_export && wine_export || fail "la carpeta quedó ocupada después"

# A temporary file a native run is writing is no leftover to a Windows run
# under Wine, whose process numbers are others.
temporary=".enlazor-$$-0123456789abcdef.tmp"
printf medio > "$scratch/$temporary"
"$linux/tests/hold_table" "$scratch" "$temporary" archivo < <(sleep 20) > "$scratch/temporal" &
for _ in $(seq 100); do grep -q listo "$scratch/temporal" && break; sleep 0.1; done
wine "$windows/cli/enlazor-cli.exe" import "$(winepath -w "$scratch/h.xml")" --workdir "$(winepath -w "$work")" \
  --template "$(winepath -w "$source/samples/base.xml")" --silencio || fail "la importación bajo Wine"
[ -f "$scratch/$temporary" ] || fail "la importación bajo Wine borró el archivo temporal de una orden nativa en curso"
kill %1 2> /dev/null || true

# A Linux disk can hold one table in two spellings, which Wine shows to the
# Windows build as two files: it refuses before it touches anything.
cp "$work/PROFT.DBF" "$work/proft.dbf"
before=$(cd "$work" && md5sum ./*.DBF ./*.dbf | sort)
set +e
wine_export 2> "$scratch/error"
code=$?
set -e
[ "$code" = 3 ] && grep -q "dos archivos de la tabla PROFT" "$scratch/error" || fail "la exportación bajo Wine no rechazó las dos grafías: $(cat "$scratch/error")"
[ "$(cd "$work" && md5sum ./*.DBF ./*.dbf | sort)" = "$before" ] || fail "las tablas cambiaron"
rm "$work/proft.dbf"
echo "Bloqueos: Enlazor nativo y un programa de Windows bajo Wine se ven en ambos sentidos (tablas, carpeta, temporales)"
