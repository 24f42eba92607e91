#!/usr/bin/env bash
# The test rig: one Wine prefix, one Xvfb display and one Wine server, shared by every test.
#   rig.sh start          create the prefix once (under a lock), start Xvfb and the server
#   rig.sh stop           end the server, every Wine process of the prefix and Xvfb
#   rig.sh run PROG ARGS  run a Windows program in the prefix; its exit code is passed through
#   rig.sh env            print the environment a shell needs to use the prefix
# RIG_DIR (default: the folder this script was configured into) holds prefix/, display, xvfb.pid.
# RIG_WINE=10 runs all of it with Wine 10 inside a Debian 13 root (tests/rig/wine10-root.sh),
# its own RIG_DIR (default: the same folder with "-wine10") and a private mount namespace that
# holds the root's mounts from start to stop; the host never sees them.
set -u
if [ "${RIG_WINE:-8}" = 10 ] && [ -z "${RIG_IN_ROOT:-}" ]; then
  RIG_DIR=${RIG_DIR:-@RIG_DIR@-wine10}
  mkdir -p "$RIG_DIR"
  root=@WINE10_ROOT@ project=@PROJECT_DIR@
  holder_alive() {
    local pid
    pid=$(cat "$RIG_DIR/mounts.pid" 2>/dev/null) && [ -n "$pid" ] &&
      grep -q '^sleep' "/proc/$pid/cmdline" 2>/dev/null
  }
  start_holder() {
    # The namespace lives as long as this process; it mounts, then waits.
    rm -f "$RIG_DIR/mounts.ready"
    setsid unshare --mount --propagation private bash -c '
      root=$1 project=$2 ready=$3
      mount --bind /proc "$root/proc" && mount --bind /sys "$root/sys" &&
      mount --rbind /dev "$root/dev" && mkdir -p "$root$project" &&
      mount --bind "$project" "$root$project" && touch "$ready" && exec sleep infinity' \
      bash "$root" "$project" "$RIG_DIR/mounts.ready" </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$RIG_DIR/mounts.pid"
    for _ in $(seq 100); do [ -e "$RIG_DIR/mounts.ready" ] && return 0; sleep 0.05; done
    echo "rig: the Wine 10 root's mounts failed" >&2
    return 1
  }
  self=$(readlink -f "$0")
  inside() {
    exec nsenter -t "$(cat "$RIG_DIR/mounts.pid")" -m -- chroot "$root" /usr/bin/env RIG_IN_ROOT="$PWD" \
      RIG_DIR="$RIG_DIR" "$self" "$@"
  }
  case "${1:-}" in
    start)
      ( exec 9>"$RIG_DIR/lock"; flock 9; holder_alive || start_holder ) || exit 1
      inside "$@" ;;
    stop)
      if holder_alive; then
        nsenter -t "$(cat "$RIG_DIR/mounts.pid")" -m -- chroot "$root" /usr/bin/env RIG_IN_ROOT=/ \
          RIG_DIR="$RIG_DIR" "$self" stop
        kill "$(cat "$RIG_DIR/mounts.pid")" 2>/dev/null
      fi
      rm -f "$RIG_DIR/mounts.pid" "$RIG_DIR/mounts.ready"
      exit 0 ;;
    *)
      holder_alive || { ( exec 9>"$RIG_DIR/lock"; flock 9; holder_alive || start_holder ) || exit 1; }
      inside "$@" ;;
  esac
fi
# Inside the Wine 10 root: back to the caller's folder.
[ -n "${RIG_IN_ROOT:-}" ] && cd "$RIG_IN_ROOT"
RIG_DIR=${RIG_DIR:-@RIG_DIR@}
mkdir -p "$RIG_DIR"
export WINEPREFIX="$RIG_DIR/prefix" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINE_NO_OPEN_FILE_SEARCH=1

ensure_xvfb() {
  if [ -n "${RIG_USE_DISPLAY:-}" ]; then export DISPLAY="$RIG_USE_DISPLAY"; return; fi
  local pid
  pid=$(cat "$RIG_DIR/xvfb.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -s "$RIG_DIR/display" ]; then
    export DISPLAY=":$(cat "$RIG_DIR/display")"; return
  fi
  rm -f "$RIG_DIR/display"
  setsid Xvfb -displayfd 3 -screen 0 "${RIG_SCREEN:-1024x768}x24" -nolisten tcp 3>"$RIG_DIR/display" 9>&- \
    </dev/null >/dev/null 2>&1 9>&- &
  echo $! > "$RIG_DIR/xvfb.pid"
  for _ in $(seq 100); do [ -s "$RIG_DIR/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$RIG_DIR/display")"
}

ensure_server() {
  # A persistent server makes each program start in tens of milliseconds instead of seconds.
  # An extra start while one runs for this prefix ends at once.
  setsid wineserver -p </dev/null >/dev/null 2>&1 9>&- &
}

ensure_prefix() {
  [ -f "$WINEPREFIX/.rig-ready" ] && return
  rm -rf "$WINEPREFIX"
  setsid wineboot -i </dev/null >"$RIG_DIR/wineboot.log" 2>&1 9>&-
  setsid wineserver -w </dev/null >/dev/null 2>&1
  # A virtual desktop with a taskbar, so the tray icon has a notification area.
  setsid wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f </dev/null >/dev/null 2>&1 9>&-
  setsid wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f </dev/null >/dev/null 2>&1 9>&-
  setsid wineserver -w </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.rig-ready"
}

ensure_idle() {
  # One idle process keeps the desktop, its taskbar and Wine's services running,
  # started here with no pipes to inherit.
  local pid
  pid=$(cat "$RIG_DIR/idle.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then return; fi
  setsid wine "$(dirname "$0")/rigidle.exe" </dev/null >/dev/null 2>&1 9>&- &
  echo $! > "$RIG_DIR/idle.pid"
  # Wait until the desktop's taskbar exists.
  for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q 'Wine desktop' && break; sleep 0.1
  done
}

cmd=${1:-}
shift || true
case "$cmd" in
  start)
    exec 9>"$RIG_DIR/lock"; flock 9
    ensure_xvfb; ensure_prefix; ensure_server; ensure_idle ;;
  stop)
    exec 9>"$RIG_DIR/lock"; flock 9
    wineserver -k </dev/null >/dev/null 2>&1 || true
    pid=$(cat "$RIG_DIR/xvfb.pid" 2>/dev/null || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -f "$RIG_DIR/xvfb.pid" "$RIG_DIR/display" "$RIG_DIR/idle.pid" ;;
  run)
    ( exec 9>"$RIG_DIR/lock"; flock 9; ensure_xvfb; ensure_prefix; ensure_server; ensure_idle )
    ensure_xvfb
    exec wine "$@" </dev/null ;;
  env)
    ensure_xvfb
    echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=win32 WINEDEBUG='$WINEDEBUG' WINEDLLOVERRIDES='$WINEDLLOVERRIDES' DISPLAY='$DISPLAY'" ;;
  *) echo "usage: rig.sh start|stop|run PROG [ARGS]|env" >&2; exit 2 ;;
esac
