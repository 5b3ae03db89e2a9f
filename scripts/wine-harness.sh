#!/usr/bin/env bash
# The Wine side of the tests: private prefixes under the build folder, a
# persistent wineserver, an Xvfb display, and the runner that ctest uses as
# its cross-compiling emulator.
#
#   wine-harness.sh start BUILD          boot the template prefix once, clone the
#                                        test prefix, start its server and Xvfb
#   wine-harness.sh stop BUILD           stop what start started
#   wine-harness.sh run BUILD EXE ARGS   run EXE in the test prefix
#   wine-harness.sh fresh BUILD EXE ARGS run EXE in a new clone of the template,
#                                        removed afterwards
#   wine-harness.sh fresh32 BUILD EXE ARGS  the same in a 32-bit prefix (32-bit
#                                        Windows: no WOW64, one registry view)
#   wine-harness.sh env BUILD            print the variables for running wine by hand
#
# Everything that Windows programs write to the standard streams goes to a
# log that is printed afterwards: a process they leave behind (the command
# interpreter of a batch file, wine's services) would otherwise hold the
# test runner's pipes open.
set -uo pipefail

cmd=${1:?command}
build=$(cd "${2:?build folder}" && pwd)
shift 2

state=$build/wine
template=$state/template
template32=$state/template32
prefix=$state/prefix
export WINEDEBUG=-all
# No debugger: a crashing test program ends at once instead of waiting for
# one that nobody attends until the test's timeout.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe=d"

# wine-notes: a new prefix links the user's folders to the host's home.
unlink_home_folders() {
  local p=$1 link
  for link in "$p"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
}

# boot_template DIR ARCH
boot_template() {
  local dir=$1 arch=$2
  [ -f "$dir/.booted" ] && return 0
  rm -rf "$dir"
  mkdir -p "$state"
  WINEARCH=$arch WINEPREFIX=$dir wineboot -i </dev/null >"$state/boot-$arch.log" 2>&1 9>&-
  WINEPREFIX=$dir wineserver -w 9>&-
  unlink_home_folders "$dir"
  touch "$dir/.booted"
}

# clone_template FROM TO: hard links for the big system files, real copies
# of the registry files, which wine rewrites, and of the user folders.
clone_template() {
  local from=$1 to=$2
  rm -rf "$to"
  cp -al "$from" "$to"
  rm -f "$to"/*.reg
  cp "$from"/*.reg "$to"/
  rm -rf "$to/drive_c/users"
  cp -a "$from/drive_c/users" "$to/drive_c/users"
}

# The server and wine's services outlive this script: they must not inherit
# the lock (descriptor 9), or the next start waits for them forever.
start_server() {
  WINEPREFIX=$1 wineserver -p </dev/null >/dev/null 2>&1 9>&-
  WINEPREFIX=$1 DISPLAY=$(display) wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
}

display() {
  cat "$state/display" 2>/dev/null || echo "${DISPLAY:-}"
}

start_xvfb() {
  if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 9>&- &
    echo $! >"$state/xvfb.pid"
    sleep 0.5
    if kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
      echo ":$n" >"$state/display"
      return 0
    fi
  done
  echo "wine-harness: no free X display" >&2
  return 1
}

run_in() {
  local p=$1 exe=$2
  shift 2
  local log
  log=$(mktemp "$state/run.XXXXXX")
  WINEPREFIX=$p DISPLAY=$(display) wine "$exe" "$@" </dev/null >"$log" 2>&1
  local rc=$?
  cat "$log"
  rm -f "$log"
  return $rc
}

case $cmd in
  start)
    mkdir -p "$state"
    exec 9>"$state/lock"
    flock 9
    boot_template "$template" win64 || { cat "$state/boot-win64.log"; exit 1; }
    if [ -z "${DISPLAY:-}" ] || [ -f "$state/xvfb.pid" ]; then start_xvfb || exit 1; fi
    [ -f "$state/display" ] || echo "${DISPLAY:-}" >"$state/display"
    [ -d "$prefix" ] || clone_template "$template" "$prefix"
    start_server "$prefix"
    ;;
  stop)
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then
      kill "$(cat "$state/xvfb.pid")" 2>/dev/null
      rm -f "$state/xvfb.pid" "$state/display"
    fi
    true
    ;;
  run)
    run_in "$prefix" "$@"
    ;;
  fresh|fresh32)
    from=$template
    if [ "$cmd" = fresh32 ]; then
      exec 9>"$state/lock32"
      flock 9
      boot_template "$template32" win32 || { cat "$state/boot-win32.log"; exit 1; }
      exec 9>&-
      from=$template32
    fi
    fresh=$(mktemp -d "$state/fresh.XXXXXX")
    clone_template "$from" "$fresh"
    start_server "$fresh"
    run_in "$fresh" "$@"
    rc=$?
    WINEPREFIX=$fresh wineserver -k 2>/dev/null
    rm -rf "$fresh"
    exit $rc
    ;;
  env)
    echo "export WINEPREFIX=$prefix WINEDEBUG=$WINEDEBUG WINEDLLOVERRIDES=\"$WINEDLLOVERRIDES\" DISPLAY=$(display)"
    ;;
  *)
    echo "wine-harness: unknown command $cmd" >&2
    exit 2
    ;;
esac
