#!/usr/bin/env bash
# Opens the Windows window under Wine on a virtual screen (Xvfb), inside a
# Wine desktop so that Wine draws the frame and caption itself, at the given
# display scale (dpi), and saves a picture of it. With "exportar" it then
# works through the window as a user would (keys: Tab, Enter, the file's name
# in the dialog): exports the sample school's September file, lets Horavia
# make five assignments, exports the October file and saves its closing box
# with the details open (OUT-mensaje.png); exports again with the dialog
# cancelled (OUT-cancelado.png); and saves the list of copies from the system
# menu (OUT-copias.png) and the question before a restore (OUT-pregunta.png).
#   bash scripts/windows-screenshot.sh BUILD_WINDOWS OUT.png [DPI] [exportar]
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(realpath -m "${2:-enlazor-windows.png}")
dpi=${3:-96}
scene=${4:-}
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=es_ES.UTF-8 LC_ALL=es_ES.UTF-8
export WINEPREFIX=${WINEPREFIX:-$build/wine}
wineboot -i > /dev/null 2>&1 && wineserver -w
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null 2>&1 && wineserver -w
htemp="$WINEPREFIX/drive_c/HTEMP"
rm -rf "$htemp" && mkdir -p "$htemp/sauce"
cp "$root/samples/seneca-ies-enlazor.xml" "$htemp/sauce/septiembre.xml"
cp "$root/samples/seneca-ies-enlazor-octubre.xml" "$htemp/sauce/octubre.xml"
# Horavia's work between the two exports: five assignments in ASIGT.
assign="import dbf; t = dbf.Table('$htemp/ASIGT.DBF'); t.open(dbf.READ_WRITE)
for k in range(5): t.append(('M',))
t.close()"
size=$((1000 * dpi / 96))x$((600 * dpi / 96))
xvfb-run -a -s "-screen 0 ${size}x24" bash -c '
  wine explorer /desktop=Enlazor,'"$size"' "'"$build"'/app/win32/Enlazor.exe" &
  sleep 8
  import -window root "'"$out"'"
  if [ "'"$scene"'" = exportar ]; then
    xdotool key Tab  # from BClose to BExportar, where the focus stays
    for month in septiembre octubre; do
      xdotool key Return; sleep 3
      xdotool type --delay 20 "C:\\HTEMP\\sauce\\$month.xml"; xdotool key Return; sleep 5
      [ $month = septiembre ] && { xdotool key Return; sleep 2; /usr/bin/python3 -c "'"$assign"'"; }
    done
    import -window root "'"${out%.png}-cerrado.png"'"
    xdotool key alt+d; sleep 2
    import -window root "'"${out%.png}-mensaje.png"'"
    xdotool key Return; sleep 2
    xdotool key Return; sleep 3; xdotool key Escape; sleep 5  # the dialog cancelled: the previous file serves
    import -window root "'"${out%.png}-cancelado.png"'"
    xdotool key Return; sleep 2
    xdotool key alt+space; sleep 1; xdotool key Up Return; sleep 3  # "Recuperar tablas anteriores…"
    import -window root "'"${out%.png}-copias.png"'"
    xdotool key Return; sleep 2
    import -window root "'"${out%.png}-pregunta.png"'"
    xdotool key Escape; sleep 1
  fi
  wineserver -k'
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f > /dev/null 2>&1 && wineserver -w
echo "Captura guardada en $out"
