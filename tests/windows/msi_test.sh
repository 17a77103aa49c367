#!/usr/bin/env bash
# The MSI under Wine: it installs per machine with its shortcut and uninstall
# entry; the installed enlazor-cli.exe runs, exports and imports the sample
# school in C:\HTEMP under a name with accents; a newer version replaces it;
# so does a rebuild of the same version; removing it leaves none of its files.
#   bash tests/windows/msi_test.sh BUILD_WINDOWS SOURCE
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
drive="$WINEPREFIX/drive_c"
msi=$(ls "$build"/Enlazor/enlazor-*-x64.msi)
installed="$drive/Program Files/Enlazor"
fail() { echo "FALLO: $*"; exit 1; }
uninstall_entries() { wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2> /dev/null | grep -c 'DisplayName.*Enlazor' || true; }

wine msiexec /i "$(winepath -w "$msi")" /qn || fail "la instalación"
for file in Enlazor.exe enlazor-cli.exe README.md LICENSE.txt LICENCIAS-TERCEROS.txt; do [ -f "$installed/$file" ] || fail "falta $file"; done
find "$drive" -iname 'Enlazor.lnk' | grep -q . || fail "falta el acceso directo del menú Inicio"
[ "$(uninstall_entries)" = 1 ] || fail "falta la entrada para desinstalar"
cli="C:\\Program Files\\Enlazor\\enlazor-cli.exe"
wine "$cli" --version | grep -q "enlazor-cli" || fail "--version"

# The work folder is C:\HTEMP itself; names with accents work.
rm -rf "$drive/HTEMP" && mkdir -p "$drive/HTEMP"
cp "$source/samples/seneca-ies-enlazor.xml" "$drive/HTEMP/Séneca ñandú.xml"
cp "$source/samples/base.xml" "$drive/HTEMP/base.xml"
wine "$cli" export 'C:\HTEMP\Séneca ñandú.xml' --silencio || fail "la exportación"
[ -f "$drive/HTEMP/PROFT.DBF" ] || fail "la exportación no dejó PROFT en C:\\HTEMP"
wine "$build/tools/make_timetable.exe" 'C:\HTEMP'
(cd "$drive/HTEMP" && wine "$cli" import 'C:\HTEMP\Séneca ñandú.xml' --silencio) || fail "la importación"
[ -f "$drive/HTEMP/ResultadoTempraSéneca ñandú.xml" ] || fail "falta ResultadoTempraSéneca ñandú.xml"

# A rebuild of the same version (a product code of its own) replaces the installed one.
again=$(mktemp -d)
cp "$build"/Enlazor/{Enlazor.exe,enlazor-cli.exe,README.md,LICENSE.txt,LICENCIAS-TERCEROS.txt,enlazor.ico,enlazor.wxs} "$again/"
(cd "$again" && wixl --arch x64 -o again.msi enlazor.wxs)
wine msiexec /i "$(winepath -w "$again/again.msi")" /qn || fail "la reinstalación de la misma versión"
[ "$(uninstall_entries)" = 1 ] || fail "tras reinstalar la misma versión hay $(uninstall_entries) entradas de Enlazor"
rm -rf "$again"

# A newer version replaces the installed one.
newer=$(mktemp -d)
cp "$build"/Enlazor/{Enlazor.exe,enlazor-cli.exe,README.md,LICENSE.txt,LICENCIAS-TERCEROS.txt,enlazor.ico} "$newer/"
sed -E '/<Product /s/Version="[0-9.]+"/Version="99.0.0"/' "$build/Enlazor/enlazor.wxs" > "$newer/enlazor.wxs"
(cd "$newer" && wixl --arch x64 -o newer.msi enlazor.wxs)
wine msiexec /i "$(winepath -w "$newer/newer.msi")" /qn || fail "la actualización"
[ "$(uninstall_entries)" = 1 ] || fail "tras actualizar hay $(uninstall_entries) entradas de Enlazor"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -q 'DisplayVersion.*99.0.0' || fail "no quedó la versión nueva"

wine msiexec /x "$(winepath -w "$newer/newer.msi")" /qn || fail "la desinstalación"
rm -rf "$newer"
[ ! -e "$installed" ] || fail "quedan archivos en Program Files\\Enlazor: $(ls "$installed")"
! find "$drive" -iname 'Enlazor.lnk' | grep -q . || fail "queda el acceso directo"
[ "$(uninstall_entries)" = 0 ] || fail "queda la entrada para desinstalar"
echo "Instalador: instala, funciona, se actualiza y se desinstala sin dejar nada"
