#!/usr/bin/env bash
# Prints the program's figures next to its yardsticks, measured in one Wine
# prefix in one run, as medians over several rounds:
# - a silent uninstall of 10,000 listed files in 500 folders, next to a bare
#   walk that deletes the same tree (the floor) and next to an NSIS
#   uninstaller that deletes the same names (bench/peers/peer_uninstaller.nsi);
# - the program's size next to that uninstaller's;
# - the time until the setup dialog is on screen, next to a program that
#   shows a message box at once;
# then the benchmark executables of the text, language-file and uninstall
# layers. The contenders take turns within each round, so that other work on
# the machine weighs on all of them alike.
# Not a test: the figures depend on the machine.
# Usage: bench/run.sh [BUILD]   (BENCH_ROUNDS sets the rounds, 7 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# The peer uninstaller's compiler, a measuring tool only: installed here and
# nowhere else.
if ! command -v makensis >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: nsis"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends nsis >/dev/null
fi
mkdir -p "${1:-build}"
build=$(cd "${1:-build}" && pwd)
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
harness=./scripts/wine-harness.sh
work=$(mktemp -d)
"$harness" start "$build"
trap '"$harness" stop "$build"; rm -rf "$work"' EXIT
eval "$("$harness" env "$build")"

rounds=${BENCH_ROUNDS:-7}
exe=$build/uninstall.exe
peers=$build/bench/peers
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
stopwatch=$(windows_path "$peers/bench_stopwatch.exe")
fail() { echo "error: $*" >&2; exit 1; }

# timed MODE COMMAND: seconds until COMMAND ended (its exit code must be 0)
# or showed its dialog, taken by the stopwatch inside the prefix.
timed() {
  local out
  out=$(wine "$peers/bench_stopwatch.exe" "$1" "$2" </dev/null | tr -d '\r')
  if [ "$1" = exit ] && [ "${out#* }" != 0 ]; then fail "$2 ended with ${out#* }"; fi
  echo "${out%% *}"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# goal RATIO LIMIT: whether the ratio is within its goal.
goal() { awk -v r="$1" -v g="$2" 'BEGIN { printf "goal <= %.2fx: %s", g, (r <= g ? "met" : "missed") }'; }
thousands() { echo "$1" | sed ':a; s/\B[0-9]\{3\}\>/,&/; ta'; }

echo "== Machine"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB, $(. /etc/os-release && echo "$PRETTY_NAME"), $(wine --version)"
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo "32-bit code runs through qemu-i386: figures are not comparable with a native machine's"
else
  echo "32-bit code runs natively"
fi
echo "rounds: $rounds"

echo "== Peer uninstaller"
nsis=$peers/nsis
mkdir -p "$nsis"
python3 bench/peers/listed_tree.py nsis "$nsis/tree.nsh"
: >"$nsis/none.nsh"
for names in tree none; do
  makensis -V1 -DINSTALLER="$nsis/make_$names.exe" -DUNINSTALLER="uninstall_$names.exe" \
    -DREMOVALS="$nsis/$names.nsh" bench/peers/peer_uninstaller.nsi
  wine "$nsis/make_$names.exe" /S </dev/null
  [ -f "$nsis/uninstall_$names.exe" ] || fail "the peer installer wrote no uninstaller"
done
echo "$(makensis -VERSION), per-file deletes of the listed names"

echo "== Time until the dialog is on screen"
folder=$(./scripts/sample-installation.sh "$WINEPREFIX" "$exe")
program="C:\\$(printf '%s' "${folder#"$WINEPREFIX"/drive_c/}" | tr / '\\')"
box=$(windows_path "$peers/bench_message_box.exe")
for _ in $(seq $((2 * rounds + 1))); do
  timed window "$box" >>"$work/box"
  timed window "\"$program\\uninstall.exe\" /setup" >>"$work/dialog"
done
echo "setup dialog: $(tr '\n' ' ' <"$work/dialog")"
echo "message box:  $(tr '\n' ' ' <"$work/box")"

echo "== Silent removal of 10,000 listed files in 500 folders"
lay_out() {
  python3 bench/peers/listed_tree.py lay-out "$folder"
  cp "$exe" "$folder/uninstall.exe"
}
# The uninstall's batch file removes the program and its folder after it has
# ended; the next round must not lay out the folder under it.
wait_gone() {
  for _ in $(seq 300); do [ -d "$folder" ] || return 0; sleep 0.1; done
  fail "$1 left $folder"
}
run_ours() {
  lay_out
  timed exit "\"$program\\uninstall.exe\" /S" >>"$work/ours"
  wait_gone "the uninstall"
}
run_peer() {
  lay_out
  timed exit "$(windows_path "$nsis/uninstall_tree.exe") _?=$program" >>"$work/peer"
  [ ! -d "$folder" ] || fail "the peer uninstaller left $folder"
}
run_floor() {
  lay_out
  timed exit "$stopwatch walk \"$program\"" >>"$work/floor"
  [ ! -d "$folder" ] || fail "the bare walk left $folder"
}
run_integrated() {
  lay_out
  timed exit "\"$program\\uninstall.exe\" /setup /S" >/dev/null
  timed exit "\"$program\\uninstall.exe\" /S" >>"$work/integrated"
  wait_gone "the uninstall after setup"
}
# Each round starts with another contender, so that none always follows the
# same one.
contenders=(ours peer floor integrated)
for round in $(seq "$rounds"); do
  for i in "${!contenders[@]}"; do
    "run_${contenders[(round + i) % ${#contenders[@]}]}"
  done
  echo "round $round: uninstall $(tail -1 "$work/ours") s, NSIS $(tail -1 "$work/peer") s," \
    "floor $(tail -1 "$work/floor") s, uninstall after setup $(tail -1 "$work/integrated") s"
done

ours=$(median <"$work/ours")
peer=$(median <"$work/peer")
floor=$(median <"$work/floor")
integrated=$(median <"$work/integrated")
dialog=$(median <"$work/dialog")
box=$(median <"$work/box")
size=$(stat -c %s "$exe")
peer_size=$(stat -c %s "$nsis/uninstall_tree.exe")
fixed_size=$(stat -c %s "$nsis/uninstall_none.exe")

echo "== Side by side (medians)"
printf '%-48s %9s s\n' "uninstall.exe /S" "$ours"
printf '%-48s %9s s   ours %sx  %s\n' "NSIS uninstaller, same names" "$peer" \
  "$(ratio "$ours" "$peer")" "$(goal "$(ratio "$ours" "$peer")" 1.0)"
printf '%-48s %9s s   ours %sx  %s\n' "bare walk (floor)" "$floor" \
  "$(ratio "$ours" "$floor")" "$(goal "$(ratio "$ours" "$floor")" 1.25)"
printf '%-48s %9s s   (with the integration of /setup /S to remove)\n' \
  "uninstall.exe /S after /setup /S" "$integrated"
printf '%-48s %9s s\n' "setup dialog on screen (/setup)" "$dialog"
printf '%-48s %9s s   ours %sx  %s\n' "message box on screen" "$box" \
  "$(ratio "$dialog" "$box")" "$(goal "$(ratio "$dialog" "$box")" 1.5)"
printf '%-48s %9s bytes\n' "build/uninstall.exe" "$(thousands "$size")"
printf '%-48s %9s bytes   ours %sx\n' "NSIS uninstaller with the names of the tree" \
  "$(thousands "$peer_size")" "$(ratio "$size" "$peer_size")"
printf '%-48s %9s bytes   ours %sx\n' "NSIS uninstaller without names (fixed part)" \
  "$(thousands "$fixed_size")" "$(ratio "$size" "$fixed_size")"
echo "imports: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/{print $3}' | sort -f | tr '\n' ' ')"

for bench in bench/bench_text_lines.exe bench/lang/bench_language_file.exe bench/removal/bench_uninstall.exe; do
  echo "== ${bench##*/}"
  "$harness" run "$build" "$build/$bench"
done
