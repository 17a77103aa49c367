#!/usr/bin/env bash
# The Windows window at the display scales of most laptops: its suite under
# Wine at 96, 120, 144 and 192 dpi (Wine's LogPixels), then back to 96.
#   bash tests/windows/dpi.sh BUILD_WINDOWS
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f > /dev/null 2>&1
  wineserver -w
}
trap 'set_dpi 96' EXIT
for dpi in 96 120 144 192; do
  set_dpi "$dpi"
  echo "Ventana de Windows a $dpi ppp"
  xvfb-run -a -s "-screen 0 1600x1000x24" wine "$build/tests/win32_window_tests.exe" --gtest_brief=1
done
