#!/usr/bin/env bash
# The sample school both ways through enlazor-cli, the output checked by the
# independent oracle. Arguments: enlazor-cli, make_timetable, source folder.
set -euo pipefail
cli=$1 timetable=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/HTEMP"
cp "$source/samples/seneca-ies-enlazor.xml" "$work/"
"$cli" export "$work/seneca-ies-enlazor.xml" --workdir "$work/HTEMP" > /dev/null
"$timetable" "$work/HTEMP" --lessons 25
cp "$source/samples/Enlazor-actividades.txt" "$work/HTEMP/"
"$cli" import "$work/seneca-ies-enlazor.xml" --workdir "$work/HTEMP" --template "$source/samples/base.xml" > /dev/null
/usr/bin/python3 "$source/tests/import_oracle.py" "$work/HTEMP" "$work/ResultadoTempraseneca-ies-enlazor.xml"
