#!/usr/bin/env bash
# Opens the Windows window under Wine on a virtual screen (Xvfb), inside a
# Wine desktop so that Wine draws the frame and caption itself, and saves a
# picture of it.
#   bash scripts/windows-screenshot.sh BUILD_WINDOWS OUT.png
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-enlazor-windows.png}")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 800x400x24" bash -c '
  wine explorer /desktop=Enlazor,800x400 "'"$build"'/app/win32/enlazor.exe" &
  for _ in $(seq 60); do
    sleep 0.5
    xwininfo -root -tree 2> /dev/null | grep -q "Exportar e importar" && break
  done
  sleep 1
  import -window root "'"$out"'"
  wineserver -k'
echo "Captura guardada en $out"
