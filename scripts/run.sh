#!/usr/bin/env bash
# Installs what is missing, builds, plugs the simulated switch and starts
# dist/ORNAX.exe under Wine on a virtual "shell" desktop: on Xvfb when no
# display is set, else on the user's display.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh >/dev/null

# A rig of its own, apart from the tests' one.
export RIG_DIR="$PWD/build/run-rig"
[ -n "${DISPLAY:-}" ] && export RIG_USE_DISPLAY="$DISPLAY"
rig=build/rig/rig.sh
"$rig" start
eval "$("$rig" env)"
export SWITCHSIM_DIR="Z:$(echo "$PWD/build/switchsim" | tr / '\\')"

wine build/switchsim/switchctl.exe unplug >"$RIG_DIR/switchctl.log" 2>&1 </dev/null
wine build/switchsim/switchctl.exe plug 7A3C 5C02 0100 >>"$RIG_DIR/switchctl.log" 2>&1 </dev/null
wine build/switchsim/switchctl.exe log-clear >>"$RIG_DIR/switchctl.log" 2>&1 </dev/null
# Let the plug's device broadcasts pass before the program starts.
sleep 1
setsid wine dist/ORNAX.exe </dev/null >"$RIG_DIR/ornax.log" 2>&1 9>&- &
for _ in $(seq 50); do
  grep -q . "$WINEPREFIX/drive_c/switchsim.log" 2>/dev/null && break; sleep 0.1
done
sleep 1
shot="$PWD/build/ornax-screen.png"
import -display "$DISPLAY" -window root "$shot" 2>/dev/null || true

cat <<MSG
ORNAX.exe is running under Wine on display $DISPLAY, with the simulated switch plugged in.
  Screenshot:        $shot  (the tray icon is at the bottom right)
  Watch it live:     attach a VNC server such as x11vnc to display $DISPLAY, or run this again with DISPLAY set
  Reports received:  $WINEPREFIX/drive_c/switchsim.log
  Wine environment:  eval "\$(RIG_DIR=$RIG_DIR $PWD/$rig env)"
  Stop it:           RIG_DIR=$RIG_DIR $PWD/$rig stop
MSG
