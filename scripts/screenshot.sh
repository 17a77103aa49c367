#!/usr/bin/env bash
# Starts the window on a virtual screen (Xvfb) and saves a picture of it.
set -euo pipefail
build=${1:-build}
out=${2:-enlazor.png}
root=$(cd "$(dirname "$0")/.." && pwd)
xvfb-run -a -s "-screen 0 800x400x24" "$root/$build/app/qt/enlazor_screenshot" "$out"
echo "Captura guardada en $out"
