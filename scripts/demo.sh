#!/usr/bin/env bash
# Runs both directions on the sample school in a fresh temporary work folder.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/enlazor-cli"
demo=$(mktemp -d /tmp/enlazor-demo-XXXXXX)
mkdir "$demo/HTEMP"
cp "$root/samples/seneca-ies-enlazor.xml" "$demo/"

echo "== De Séneca a Horavia: $demo/seneca-ies-enlazor.xml -> $demo/HTEMP"
"$cli" export "$demo/seneca-ies-enlazor.xml" --workdir "$demo/HTEMP"

echo
echo "== Horavia hace el horario (SOLUC de demostración)"
"$root/$build/tools/make_timetable" "$demo/HTEMP"

echo
echo "== De Horavia a Séneca"
"$cli" import "$demo/seneca-ies-enlazor.xml" --workdir "$demo/HTEMP" --template "$root/samples/base.xml"
echo
echo "Archivo para Séneca: $demo/ResultadoTempraseneca-ies-enlazor.xml"
