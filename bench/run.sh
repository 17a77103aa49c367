#!/usr/bin/env bash
# Speed and memory of the store, the XML service and both runs. Prints each
# figure beside its reference (expat's xmlwf, pugixml, cat and cp), measured
# in the same run, and the RATIO lines the targets are read from.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/$build"
scratch=$(mktemp -d /tmp/enlazor-bench-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
seconds() { local start end; start=$(date +%s.%N); "$@" > /dev/null; end=$(date +%s.%N); echo "$end - $start" | bc; }

echo "== Tablas dBase: 1.000.000 filas de 5 campos"
mkdir "$scratch/tabla"
"$bin/bench/bench_table" "$scratch/tabla"
echo "cat a /dev/null de los mismos bytes: $(seconds cat "$scratch/tabla/BENCH.DBF") s;" \
     "cp: $(seconds cp "$scratch/tabla/BENCH.DBF" "$scratch/tabla/OTRA.DBF") s"
rm -rf "$scratch/tabla"

for teachers in 30000 150000; do  # about 12 MB and 58 MB
  echo
  echo "== Exportación de un archivo sintético ($teachers profesores)"
  "$bin/tools/make_school" --teachers "$teachers" > "$scratch/seneca.xml"
  mkdir -p "$scratch/htemp"
  "$bin/bench/bench_xml" "$scratch/seneca.xml" "$scratch/htemp"
  rm -rf "$scratch/htemp" "$scratch/seneca.xml"
done

for teachers in 1200 12000; do
  echo
  echo "== Importación: $teachers profesores, 25 clases cada uno"
  mkdir "$scratch/import"
  "$bin/bench/bench_import" "$scratch/import" "$teachers" 25
  rm -rf "$scratch/import"
done
