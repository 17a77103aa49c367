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
echo "== Horavia hace el horario (SOLUC de demostración), con guardias, tutorías y reuniones"
"$root/$build/tools/make_timetable" "$demo/HTEMP"
echo "La lista de actividades de la jefatura de estudios, $demo/HTEMP/Enlazor-actividades.txt:"
cp "$root/samples/Enlazor-actividades.txt" "$demo/HTEMP/"
sed 's/^/    /' "$demo/HTEMP/Enlazor-actividades.txt"

echo
echo "== De Horavia a Séneca"
"$cli" import "$demo/seneca-ies-enlazor.xml" --workdir "$demo/HTEMP" --template "$root/samples/base.xml"
echo
echo "Archivo para Séneca: $demo/ResultadoTempraseneca-ies-enlazor.xml"
echo "Actividades que van a Séneca (X_ACTIVIDAD: cuántas):"
grep 'nombre_dato="X_ACTIVIDAD"' "$demo/ResultadoTempraseneca-ies-enlazor.xml" | sed 's/.*>\(.*\)<.*/\1/' | sort -n | uniq -c |
  sed 's/^ *\([0-9]*\) \(.*\)/    actividad \2: \1/'
echo "(1 Docencia, 2 Tutoría lectiva, 7 Reunión de departamento, 25 Guardia, 33 Actividades extraescolares, 353 Guardia de recreo)"
