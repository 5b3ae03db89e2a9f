#!/usr/bin/env bash
# The main job: builds the tool, lays out a sample installation in a private
# Wine prefix and runs the tool there as the product's installer does.
#   ./run.sh             setup integration (silent unless a display is set)
#   ./run.sh uninstall   the uninstall run in the same prefix
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build" -j "$(nproc)" --target uninstall >/dev/null
build=$(cd "$build" && pwd)
user_display=${DISPLAY:-}
harness=./scripts/wine-harness.sh
"$harness" start "$build"
trap '"$harness" stop "$build"' EXIT
eval "$("$harness" env "$build")"
state="$build/run-state.json"

# Prints what of the product the prefix holds (see scripts/summary.py). The
# exports are of the 64-bit view, which shows the 32-bit one below the
# Wow6432Node keys.
report() {
  local hive exports=()
  for hive in HKLM HKU; do
    rm -f "$WINEPREFIX/drive_c/run-$hive.reg"
    wine reg export "$hive" "C:\\run-$hive.reg" /y /reg:64 </dev/null >/dev/null 2>&1 || true
    exports+=("$WINEPREFIX/drive_c/run-$hive.reg")
  done
  python3 ./scripts/summary.py "$WINEPREFIX" "${exports[@]}" "$@"
  rm -f "${exports[@]}"
}

case ${1:-setup} in
  setup)
    folder=$(./scripts/sample-installation.sh "$WINEPREFIX" "$build/uninstall.exe")
    echo "Sample installation: $folder"
    switches="/setup"
    # With a display of the user's the dialog shows there; else it confirms
    # itself on the harness's own Xvfb.
    [ -n "$user_display" ] || switches="/setup /S"
    set +e
    (cd "$folder" && wine ./uninstall.exe $switches </dev/null >/dev/null 2>&1)
    rc=$?
    set -e
    echo "uninstall.exe $switches ended with exit code $rc"
    report --save "$state"
    echo "To take it back: ./run.sh uninstall"
    ;;
  uninstall)
    folder="$WINEPREFIX/drive_c/Program Files (x86)/Pelodra"
    [ -d "$folder" ] || { echo "No sample installation yet: run ./run.sh first"; exit 1; }
    set +e
    (cd "$folder" && wine ./uninstall.exe /S </dev/null >/dev/null 2>&1)
    rc=$?
    set -e
    echo "uninstall.exe /S ended with exit code $rc"
    # The batch file removes the program and its folder after it has ended.
    for _ in $(seq 150); do [ -d "$folder" ] || break; sleep 0.2; done
    report --since "$state"
    ;;
  *)
    echo "usage: ./run.sh [uninstall]" >&2
    exit 2
    ;;
esac
