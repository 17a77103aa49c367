#!/usr/bin/env bash
# Fetches the sources the Windows build needs from Debian's own source
# packages, through a private sources list and state folder (the machine's apt
# configuration is never changed), checks every file against the checksums
# the .dsc lists, and unpacks them with Debian's patches applied.
#   bash scripts/windows-sources.sh OUT_FOLDER PACKAGE...
set -euo pipefail
out=$1
shift
mkdir -p "$out"
out=$(cd "$out" && pwd)
apt="$out/apt"

# The archive and suite this machine already installs from (deb822 or one-line lists).
origin() {
  local uri suite
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    uri=$(awk '/^URIs:/ { print $2; exit }' "$f")
    suite=$(awk '/^Suites:/ { print $2; exit }' "$f")
    if [ -n "$uri" ] && [ -n "$suite" ] && ! grep -q security <<< "$uri"; then echo "$uri $suite"; return; fi
  done
  awk '$1 == "deb" && $2 !~ /security/ { print $2, $3; exit }' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2> /dev/null
}

options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
         -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1)
[ "$(id -u)" -eq 0 ] && options+=(-o APT::Sandbox::User=root)

fetch() {
  local package=$1 dsc
  if [ -d "$out/$package/debian" ]; then return; fi
  mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/cache/archives/partial" "$out/download"
  if [ ! -f "$apt/sources.list" ]; then
    read -r uri suite <<< "$(origin)"
    echo "deb-src $uri $suite main" > "$apt/sources.list"
    apt-get "${options[@]}" update -qq
  fi
  (cd "$out/download" && apt-get "${options[@]}" source --download-only -qq "$package")
  dsc=$(ls "$out/download/${package}"_*.dsc | head -n 1)
  # Every file the .dsc names, against its SHA-256.
  awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $1 "  " $3 }' "$dsc" |
    (cd "$out/download" && sha256sum --quiet -c -)
  rm -rf "$out/$package"
  dpkg-source --no-check -x "$dsc" "$out/$package" > /dev/null
  echo "Fuente de Debian: $(basename "$dsc") (sumas SHA-256 comprobadas)"
}

for package in "$@"; do fetch "$package"; done
