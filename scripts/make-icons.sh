#!/usr/bin/env bash
# Renders the application icon (an SVG) at the sizes the desktops use and packs
# them into a Windows icon file.
#   bash scripts/make-icons.sh data/enlazor.svg OUT_FOLDER
set -euo pipefail
svg=$1
out=$2
mkdir -p "$out"
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/enlazor-$size.png"
done
# An .ico file: a directory of entries, each a PNG image (Windows Vista and later).
python3 - "$out" "${sizes[@]}" <<'PY'
import struct, sys
out, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
images = [open(f"{out}/enlazor-{s}.png", "rb").read() for s in sizes]
offset = 6 + 16 * len(images)
entries = b""
for size, image in zip(sizes, images):
    entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
    offset += len(image)
with open(f"{out}/enlazor.ico", "wb") as ico:
    ico.write(struct.pack("<HHH", 0, 1, len(images)) + entries + b"".join(images))
PY
