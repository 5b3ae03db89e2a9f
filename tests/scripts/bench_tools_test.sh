#!/usr/bin/env bash
# The yardsticks of bench/run.sh: the peer uninstaller removes exactly the
# names that the program's list holds, and the stopwatch reports what it
# timed (exit codes, the dialog it waited for, a missing dialog) and its walk
# removes a tree. Usage: bench_tools_test.sh BUILD (the harness started).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
harness=$root/scripts/wine-harness.sh
stopwatch=$build/bench/peers/bench_stopwatch.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/scripts/checks.sh"

# The peer deletes every listed file and then removes every listed folder:
# the same names, none left out, the folders after all files.
python3 "$root/bench/peers/listed_tree.py" lay-out "$work/tree"
python3 "$root/bench/peers/listed_tree.py" nsis "$work/removals.nsh"
tr -d '\r' <"$work/tree/Uninstall.lst" | sort >"$work/listed"
sed -E 's/^  (Delete|RMDir) "\$INSTDIR\\(.*)"$/\2/' "$work/removals.nsh" | sort >"$work/removed"
check "peer removes the listed names" "$(diff "$work/listed" "$work/removed" | head -3)" ""
check "peer removes folders after files" \
  "$(awk '/RMDir/ { r = 1 } /Delete/ && r { print "Delete after RMDir: " $0; exit }' "$work/removals.nsh")" ""
first_folders=$(head -500 "$work/tree/Uninstall.lst" | tr -d '\r' | while read -r name; do
  [ -d "$work/tree/$name" ] && echo x; done | wc -l)
check "list names the folders first" "$first_folders" 500

run() { "$harness" run "$build" "$stopwatch" "$@" | tr -d '\r'; }

out=$(run exit 'cmd /c exit 3')
check "exit: the command's code" "${out#* }" 3
check "exit: seconds" "$(echo "${out%% *}" | grep -cE '^[0-9]+\.[0-9]{3}$')" 1

box='Z:'$(printf '%s' "$build/bench/peers/bench_message_box.exe" | tr / '\\')
out=$(run window "$box")
check "window: the dialog's title" "${out#* }" "Message box"
check "window: the program is ended" "$(pgrep -fc 'bench_message_box')" 0

start=$(date +%s)
run window 'cmd /c exit 0' >/dev/null 2>&1
check "window: a program that ends without a dialog fails" "$?" 1
check "window: and is not waited for" "$(( $(date +%s) - start < 30 ))" 1

eval "$("$harness" env "$build")"
tree="$WINEPREFIX/drive_c/bench walk test"
mkdir -p "$tree/a b/c/d" "$tree/e"
for f in "top.txt" "a b/one two.txt" "a b/c/d/deep.dat" "e/x"; do echo data >"$tree/$f"; done
run walk 'C:\bench walk test'
check "walk: exit code" "$?" 0
check "walk: the tree is gone" "$([ -e "$tree" ] && echo left)" ""

check "unknown mode" "$(run time 'cmd /c exit 0' >/dev/null 2>&1; echo $?)" 2

report
