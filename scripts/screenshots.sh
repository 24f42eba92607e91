#!/usr/bin/env bash
# Takes the README's pictures from the real program under Wine: the tray icon
# with the switch attached and not attached, the open tray menu, and the
# Options and About dialogs in English and in German.
# Writes docs/tray-attached.png, docs/tray-not-attached.png, docs/tray-menu.png,
# docs/options-en.png, docs/about-en.png, docs/options-de.png, docs/about-de.png,
# and the installer's finish page, docs/installer-finish.png.
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

# A dialog opened from the tray menu (its item this far below the menu's top
# edge), cut out of the desktop around it, then closed with Esc.
dialog() { # name, item offset
  xdotool mousemove 1013 758 click 3; sleep 1
  xdotool mousemove 954 $((612 + $2)) click 1; sleep 1
  xdotool mousemove 600 600; sleep 0.5
  import -window root "$RIG_DIR/screen.png"
  convert "$RIG_DIR/screen.png" -crop 1024x740+0+0 +repage -bordercolor 'srgb(37,111,149)' -border 1 \
    -fuzz 5% -trim +repage "docs/$1.png"
  xdotool key Escape; sleep 0.5
}

ctl unplug
ctl plug 7A3C 5C02 0103
setsid wine dist/ORNAX.exe </dev/null >/dev/null 2>&1 9>&- &
sleep 3
shot tray-attached 160x40+864+728
xdotool mousemove 1013 758 click 3
sleep 1
import -window root "$RIG_DIR/screen.png"
convert "$RIG_DIR/screen.png" -crop 200x180+824+588 +repage -scale 200% docs/tray-menu.png
xdotool mousemove 300 200 click 1
sleep 0.5
dialog options-en 79
dialog about-en 96
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1
sleep 1
LC_ALL=de_DE.UTF-8 setsid wine dist/ORNAX.exe </dev/null >/dev/null 2>&1 9>&- &
sleep 3
dialog options-de 79
dialog about-de 96
ctl unplug
sleep 2
shot tray-not-attached 160x40+864+728
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1

# The installer, through its welcome and folder pages to the finish page.
setup=$(ls release/SwivoSetup-*.exe)
setsid wine "$setup" </dev/null >/dev/null 2>&1 9>&- &
sleep 3
xdotool key Return; sleep 1
xdotool key Return; sleep 4
xdotool mousemove 600 600; sleep 0.5
import -window root "$RIG_DIR/screen.png"
convert "$RIG_DIR/screen.png" -crop 1024x740+0+0 +repage -bordercolor 'srgb(37,111,149)' -border 1 \
  -fuzz 5% -trim +repage docs/installer-finish.png
xdotool key Return; sleep 2
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1
wine cmd /c '%LOCALAPPDATA%\Programs\Swivo\uninstall.exe' /S </dev/null >/dev/null 2>&1 || true
echo "wrote docs/tray-attached.png docs/tray-not-attached.png docs/tray-menu.png, docs/{options,about}-{en,de}.png and docs/installer-finish.png"
