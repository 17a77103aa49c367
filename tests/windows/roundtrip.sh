#!/usr/bin/env bash
# The sample school both ways with the Linux build and with the Windows build
# under Wine: the seven tables and the file for Séneca are byte for byte the
# same.
#   bash tests/windows/roundtrip.sh LINUX_BUILD WINDOWS_BUILD SOURCE
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
export WINEDEBUG=-all
scratch=$(mktemp -d /tmp/enlazor-ida-y-vuelta-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
for side in linux windows; do
  mkdir -p "$scratch/$side/HTEMP"
  cp "$source/samples/seneca-ies-enlazor.xml" "$scratch/$side/"
done
"$linux/cli/enlazor-cli" export "$scratch/linux/seneca-ies-enlazor.xml" --workdir "$scratch/linux/HTEMP" --silencio
wine "$windows/cli/enlazor-cli.exe" export "$(winepath -w "$scratch/windows/seneca-ies-enlazor.xml")" \
  --workdir "$(winepath -w "$scratch/windows/HTEMP")" --silencio
"$linux/tools/make_timetable" "$scratch/linux/HTEMP"
wine "$windows/tools/make_timetable.exe" "$(winepath -w "$scratch/windows/HTEMP")"
"$linux/cli/enlazor-cli" import "$scratch/linux/seneca-ies-enlazor.xml" --workdir "$scratch/linux/HTEMP" \
  --template "$source/samples/base.xml" --silencio
wine "$windows/cli/enlazor-cli.exe" import "$(winepath -w "$scratch/windows/seneca-ies-enlazor.xml")" \
  --workdir "$(winepath -w "$scratch/windows/HTEMP")" --template "$(winepath -w "$source/samples/base.xml")" --silencio
different=0
for file in HTEMP/{ASIGNOMT,ASIGT,AULAT,CURSOACAD,DIASHORAST,GRUPOST,PROFT,SOLUC}.DBF ResultadoTempraseneca-ies-enlazor.xml; do
  cmp -s "$scratch/linux/$file" "$scratch/windows/$file" || { echo "DISTINTO: $file"; different=1; }
done
[ "$different" = 0 ] && echo "Ida y vuelta: las ocho tablas y el archivo para Séneca son iguales en Linux y en Windows"
exit "$different"
