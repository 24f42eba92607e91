#!/usr/bin/env bash
# Takes the README's pictures from the real program under Wine: the tray icon
# with the switch attached and not attached, and the open tray menu.
# Writes docs/tray-attached.png, docs/tray-not-attached.png, docs/tray-menu.png.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh >/dev/null

export RIG_DIR="$PWD/build/shots-rig"
unset RIG_USE_DISPLAY
rig=build/rig/rig.sh
"$rig" start
eval "$("$rig" env)"
trap '"$rig" stop' EXIT
ctl() { wine build/switchsim/switchctl.exe "$@" >>"$RIG_DIR/switchctl.log" 2>&1 </dev/null; }
shot() { # name, crop geometry
  xdotool mousemove 600 300; sleep 0.3
  import -window root "$RIG_DIR/screen.png"
  convert "$RIG_DIR/screen.png" -crop "$2" +repage -scale 200% "docs/$1.png"
}

ctl unplug
ctl plug 7A3C 5C02 0100
setsid wine dist/ORNAX.exe </dev/null >/dev/null 2>&1 9>&- &
sleep 3
shot tray-attached 160x40+864+728
xdotool mousemove 1013 758 click 3
sleep 1
import -window root "$RIG_DIR/screen.png"
convert "$RIG_DIR/screen.png" -crop 200x180+824+588 +repage -scale 200% docs/tray-menu.png
xdotool mousemove 300 200 click 1
sleep 0.5
ctl unplug
sleep 2
shot tray-not-attached 160x40+864+728
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1
echo "wrote docs/tray-attached.png docs/tray-not-attached.png docs/tray-menu.png"
