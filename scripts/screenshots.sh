#!/usr/bin/env bash
# Takes the README's pictures from the real program under Wine: the tray icon
# with the switch attached and not attached, the open tray menu, and the
# Options and About dialogs in English and in German.
# Writes docs/tray-attached.png, docs/tray-not-attached.png, docs/tray-menu.png,
# docs/{options,about}-{en,de}.png at 100 % and docs/{options,about}-{en,de}-200.png
# at 200 %, docs/tray-icons-dark-light.png (the icons at the tray's sizes on a
# dark and a light taskbar colour), and the installer's finish page, docs/installer-finish.png.
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
command() { wine build/tests/postcommand.exe "$1" </dev/null >/dev/null 2>&1; }
shot() { # name, crop geometry
  xdotool mousemove 600 300; sleep 0.3
  import -window root "$RIG_DIR/screen.png"
  convert "$RIG_DIR/screen.png" -crop "$2" +repage -scale 200% "docs/$1.png"
}
# The desktop again at a scale (dots per inch), with a colour ("R G B") for
# the taskbar and windows ("": Wine's own) and a size: Wine reads them when its processes start.
size=1024x768
desktop() { # dpi, colour, size
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
  for name in ButtonFace Window; do
    if [ -n "$2" ]; then
      wine reg add 'HKCU\Control Panel\Colors' /v $name /d "$2" /f </dev/null >/dev/null 2>&1
    else
      wine reg delete 'HKCU\Control Panel\Colors' /v $name /f </dev/null >/dev/null 2>&1 || true
    fi
  done
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$3" /f </dev/null >/dev/null 2>&1
  size=$3
  "$rig" stop >/dev/null 2>&1
  RIG_SCREEN=$3 "$rig" start >/dev/null 2>&1
  eval "$("$rig" env)"
  sleep 2
}
start() { # environment assignments
  env "$@" setsid wine dist/ORNAX.exe </dev/null >/dev/null 2>&1 9>&- &
  sleep 5
}
# A dialog opened as its menu command opens it, cut out of the desktop above
# the taskbar around it, then closed with Esc.
dialog() { # name, command
  command "$2"; sleep 1.5
  xdotool mousemove 600 300; sleep 0.5
  import -window root "$RIG_DIR/screen.png"
  convert "$RIG_DIR/screen.png" -crop "${size%x*}x$(( ${size#*x} - 80 ))+0+0" +repage \
    -bordercolor 'srgb(37,111,149)' -border 1 -fuzz 5% -trim +repage "docs/$1.png"
  xdotool key Escape; sleep 0.5
}

ctl unplug
ctl plug 7A3C 5C02 0103
light=""
desktop 96 "$light" 1024x768
start
shot tray-attached 160x40+864+728
xdotool mousemove 1013 758 click 3
sleep 1
import -window root "$RIG_DIR/screen.png"
convert "$RIG_DIR/screen.png" -crop 200x180+824+588 +repage -scale 200% docs/tray-menu.png
xdotool mousemove 300 200 click 1
sleep 0.5
dialog options-en 32776
dialog about-en 104
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1
sleep 1
start LC_ALL=de_DE.UTF-8
dialog options-de 32776
dialog about-de 104
ctl unplug
sleep 2
shot tray-not-attached 160x40+864+728
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1

# At 200 %: the dialogs in both languages.
desktop 192 "$light" 2048x1536
ctl plug 7A3C 5C02 0103
start
dialog options-en-200 32776
dialog about-en-200 104
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1
sleep 1
start LC_ALL=de_DE.UTF-8
dialog options-de-200 32776
dialog about-de-200 104
wine dist/ORNAX.exe /x </dev/null >/dev/null 2>&1

# A dark taskbar: Wine's taskbar keeps its own light colour, so the icon
# files' 16, 20 and 24 pixel images (the tray at 100, 125 and 150 %), as the
# program loads them, are laid on a dark and on a light taskbar colour.
strip() { # ico, first frame of 16, 20, 24 (32 bits per pixel), background, output
  local frames=() f
  for f in "$2" "$(( $2 - 1 ))" "$(( $2 - 2 ))"; do frames+=("$1[$f]"); done
  convert -background "$3" "${frames[@]}" -gravity center -extent 28x28 +append -scale 400% "$4"
}
for bg in '#202024' '#f0f0f0'; do
  name=$([ "$bg" = '#202024' ] && echo dark || echo light)
  strip res/icons/attached.ico 14 "$bg" "$RIG_DIR/a-$name.png"
  strip res/icons/notattached.ico 13 "$bg" "$RIG_DIR/n-$name.png"
done
convert "$RIG_DIR/a-dark.png" "$RIG_DIR/n-dark.png" +append "$RIG_DIR/dark.png"
convert "$RIG_DIR/a-light.png" "$RIG_DIR/n-light.png" +append "$RIG_DIR/light.png"
convert "$RIG_DIR/dark.png" "$RIG_DIR/light.png" -append docs/tray-icons-dark-light.png
desktop 96 "$light" 1024x768
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
echo "wrote docs/tray-*.png, docs/{options,about}-{en,de}.png, docs/{options,about}-{en,de}-200.png and docs/installer-finish.png"
