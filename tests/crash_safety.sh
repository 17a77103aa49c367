#!/usr/bin/env bash
# Kills enlazor-cli with SIGKILL at random moments and checks what is left:
# the work directory always holds the whole old or the whole new set of seven
# tables (once the next run has finished, with no stray file), and an import
# never leaves a partial output file.
#   bash tests/crash_safety.sh [BUILD] [KILLS]
set -uo pipefail
build=${1:-build}
kills=${2:-200}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/enlazor-cli"
scratch=$(mktemp -d /tmp/enlazor-crash-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
tables="ASIGNOMT ASIGT AULAT CURSOACAD DIASHORAST GRUPOST PROFT"

signature() {  # the seven tables' checksums, or MISSING
  local dir=$1 out=""
  for t in $tables; do
    [ -f "$dir/$t.DBF" ] || { echo MISSING; return; }
    out+="$(md5sum < "$dir/$t.DBF" | cut -c1-32) "
  done
  echo "$out"
}
stray() { ls -A "$1" | grep -v -x -E '(ASIGNOMT|ASIGT|AULAT|CURSOACAD|DIASHORAST|GRUPOST|PROFT|SOLUC)\.DBF' ; }

"$root/$build/tools/make_school" --teachers 80 > "$scratch/old.xml"
"$root/$build/tools/make_school" --teachers 20000 --seed 9 > "$scratch/new.xml"
printf 'no es XML' > "$scratch/broken.xml"
mkdir -p "$scratch/oldset" "$scratch/newset" "$scratch/HTEMP"
"$cli" export "$scratch/old.xml" --workdir "$scratch/oldset" > /dev/null
"$cli" export "$scratch/new.xml" --workdir "$scratch/newset" > /dev/null
old=$(signature "$scratch/oldset")
new=$(signature "$scratch/newset")
start=$(date +%s%N)
"$cli" export "$scratch/new.xml" --workdir "$scratch/newset" > /dev/null
span=$(( ($(date +%s%N) - start) / 1000 ))  # microseconds of one whole export

classify() {
  case "$(signature "$scratch/HTEMP")" in
    "$old") echo old ;;
    "$new") echo new ;;
    *) echo mixed ;;
  esac
}

declare -A count=([old]=0 [new]=0 [mixed]=0 [pending]=0 [after_old]=0 [after_new]=0 [after_mixed]=0 [unreadable]=0 [stray]=0)
for ((i = 1; i <= kills; i++)); do
  rm -rf "$scratch/HTEMP" && cp -r "$scratch/oldset" "$scratch/HTEMP"
  "$cli" export "$scratch/new.xml" --workdir "$scratch/HTEMP" > /dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v r=$RANDOM -v s=$span 'BEGIN { printf "%.6f", r / 32767 * s * 1.2 / 1e6 }')"
  kill -9 $pid 2> /dev/null
  wait $pid 2> /dev/null
  if [ -f "$scratch/HTEMP/.enlazor-nuevo/COMPLETO" ]; then
    count[pending]=$((count[pending] + 1))  # cut during its moves: the next run finishes them
  else
    state=$(classify); count[$state]=$((count[$state] + 1))
  fi
  "$cli" export "$scratch/broken.xml" --workdir "$scratch/HTEMP" > /dev/null 2>&1  # the next run, failing at its load
  after=$(classify); count[after_$after]=$((count[after_$after] + 1))
  for t in $tables; do
    "$root/$build/tests/dbf_tool" check "$scratch/HTEMP" "$t" > /dev/null 2>&1 || { count[unreadable]=$((count[unreadable] + 1)); break; }
  done
  [ -z "$(stray "$scratch/HTEMP")" ] || count[stray]=$((count[stray] + 1))
done
echo "Exportación: $kills interrupciones (una exportación entera dura $((span / 1000)) ms)"
echo "  justo tras la interrupción: conjunto antiguo ${count[old]}, nuevo ${count[new]}, mezclado ${count[mixed]}, movimientos pendientes de terminar ${count[pending]}"
echo "  tras la siguiente orden: antiguo ${count[after_old]}, nuevo ${count[after_new]}, mezclado ${count[after_mixed]}, ilegibles ${count[unreadable]}, con archivos sobrantes ${count[stray]}"

# Killed at each rename of the commit (strace's fault injection): right after,
# an import must read the old set or finish the new one, never a mixed set.
renames=0
declare -A atRename=([old]=0 [new]=0 [mixed]=0 [failed]=0)
"$root/$build/tools/make_timetable" "$scratch/oldset" --lessons 3
for ((n = 1; n <= 40; n++)); do
  rm -rf "$scratch/HTEMP" && cp -r "$scratch/oldset" "$scratch/HTEMP"
  strace -f -o /dev/null -e trace=rename,renameat,renameat2 -e inject=rename,renameat,renameat2:signal=SIGKILL:when=$n \
    "$cli" export "$scratch/new.xml" --workdir "$scratch/HTEMP" > /dev/null 2>&1 &
  pid=$!
  wait $pid 2> /dev/null
  [ $? -eq 137 ] || break  # the export ended before its n-th rename
  renames=$n
  printf x > "$scratch/lector.xml"
  if ! "$cli" import "$scratch/lector.xml" --workdir "$scratch/HTEMP" --template "$root/samples/base.xml" --silencio 2> /dev/null; then
    atRename[failed]=$((atRename[failed] + 1))
  fi
  state=$(classify); atRename[$state]=$((atRename[$state] + 1))
done
echo "Interrumpida en cada uno de sus $renames cambios de nombre y leída después por una importación:" \
     "conjunto antiguo ${atRename[old]}, nuevo ${atRename[new]}, mezclado ${atRename[mixed]}, importaciones fallidas ${atRename[failed]}"

# The import: its output is whole or absent, never partial.
"$root/$build/tools/make_timetable" "$scratch/oldset" --lessons 25
cp "$root/samples/base.xml" "$scratch/base.xml"
printf x > "$scratch/horario.xml"
start=$(date +%s%N)
"$cli" import "$scratch/horario.xml" --workdir "$scratch/oldset" --template "$scratch/base.xml" --silencio
span=$(( ($(date +%s%N) - start) / 1000 ))
declare -A output=([absent]=0 [whole]=0 [partial]=0)
for ((i = 1; i <= kills / 2; i++)); do
  rm -f "$scratch/ResultadoTemprahorario.xml"
  "$cli" import "$scratch/horario.xml" --workdir "$scratch/oldset" --template "$scratch/base.xml" > /dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v r=$RANDOM -v s=$span 'BEGIN { printf "%.6f", r / 32767 * s * 1.2 / 1e6 }')"
  kill -9 $pid 2> /dev/null
  wait $pid 2> /dev/null
  if [ ! -e "$scratch/ResultadoTemprahorario.xml" ]; then
    output[absent]=$((output[absent] + 1))
  elif /usr/bin/python3 -c "import xml.etree.ElementTree as E; E.parse('$scratch/ResultadoTemprahorario.xml')" 2> /dev/null; then
    output[whole]=$((output[whole] + 1))
  else
    output[partial]=$((output[partial] + 1))
  fi
done
echo "Importación: $((kills / 2)) interrupciones (una importación entera dura $((span / 1000)) ms): salida ausente ${output[absent]}, entera ${output[whole]}, parcial ${output[partial]}"
[ "${count[mixed]}${count[after_mixed]}${count[unreadable]}${count[stray]}${output[partial]}${atRename[mixed]}${atRename[failed]}" = "0000000" ] && [ "$renames" -ge 15 ]
