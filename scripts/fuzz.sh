#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given seconds,
# seeded from the sample school and the tests' documents and tables.
# New faulty inputs are kept in build-fuzz/crashes/<target>/.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DENLAZOR_FUZZ=ON -DENLAZOR_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j "$(nproc)"

corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus/export" "$corpus/table" "$corpus/import" "$build/crashes"
cp "$root/samples/"*.xml "$root/tests/data/"*.xml "$corpus/export/"
printf '<SERVICIO><BLOQUE_DATOS><grupo_datos seq="TRAMOS_HORARIOS"><grupo_datos><dato>1</dato><dato>1</dato><dato>0800</dato><dato>0900</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>' > "$corpus/export/tramos.xml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/cli/enlazor-cli" export "$root/samples/seneca-ies-enlazor.xml" --workdir "$work" > /dev/null
"$build/tools/make_timetable" "$work" --lessons 3
cp "$work"/*.DBF "$corpus/table/"
cp "$work/SOLUC.DBF" "$corpus/import/"
for target in export table import; do
  [ -d "$root/tests/data/fuzz/$target" ] && cp "$root/tests/data/fuzz/$target/"* "$corpus/$target/" 2>/dev/null || true
  mkdir -p "$build/crashes/$target"
  echo "== fuzz_$target: $seconds s"
  "$build/tests/fuzz/fuzz_$target" "$corpus/$target" -max_total_time="$seconds" -max_len=262144 \
    -artifact_prefix="$build/crashes/$target/" -print_final_stats=1 2>&1 | grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|==|SUMMARY|.*cov:.*DONE)|ERROR" || true
  if ls "$build/crashes/$target/"* > /dev/null 2>&1; then
    echo "fuzz_$target encontró entradas con fallo en $build/crashes/$target/"
    exit 1
  fi
done
