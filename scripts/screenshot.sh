#!/usr/bin/env bash
# Starts the window, and over it the boxes of real runs (the October
# re-export's closing box with its details open, the box of an export whose
# dialog was cancelled, the list of copies), on a virtual screen (Xvfb) and
# saves a picture of each, at 100 % and at 150 % scale: enlazor.png,
# enlazor-mensaje.png, enlazor-cancelado.png, enlazor-copias.png and the same with -150.
set -euo pipefail
build=${1:-build}
out=${2:-enlazor.png}
root=$(cd "$(dirname "$0")/.." && pwd)
shot="$root/$build/app/qt/enlazor_screenshot"
for scale in 1 1.5; do
  suffix=$([ "$scale" = 1 ] && echo "" || echo "-150")
  for scene in ventana mensaje cancelado copias; do
    name=${out%.png}$([ "$scene" = ventana ] && echo "" || echo "-$scene")$suffix.png
    QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 1600x1000x24" "$shot" "$name" "$scene" "$root/samples"
    echo "Captura guardada en $name"
  done
done
