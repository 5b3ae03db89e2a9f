#!/usr/bin/env bash
# Prints the program's footprint and the speed figures in one run:
# size and imported DLLs, a silent setup and a silent uninstall of a
# 10,000-file installation under Wine, and the benchmark executables of the
# text, language-file and uninstall layers. Not a test: the figures depend
# on the machine. Usage: bench/run.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
harness=./scripts/wine-harness.sh
cmake --build "$build" -j "$(nproc)" >/dev/null
"$harness" start "$build"
trap '"$harness" stop "$build"' EXIT
eval "$("$harness" env "$build")"

exe=$build/uninstall.exe
echo "== Footprint"
echo "size: $(stat -c %s "$exe") bytes"
echo "imports: $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/{print $3}' | sort -f | tr '\n' ' ')"

echo "== Silent setup and uninstall of 10,000 files in 500 folders"
folder=$(./scripts/sample-installation.sh "$WINEPREFIX" "$exe")
python3 - "$folder" <<'PY'
import os, sys
root = sys.argv[1]
lines = []
for d in range(500):
    name = "data%03d" % d
    lines.append(name)
    os.makedirs(os.path.join(root, name), exist_ok=True)
    for f in range(20):
        rel = "%s\\file%02d.dat" % (name, f)
        with open(os.path.join(root, name, "file%02d.dat" % f), "wb") as out:
            out.write(b"x")
        lines.append(rel)
with open(os.path.join(root, "Uninstall.lst"), "ab") as out:
    out.write(("\r\n".join(lines) + "\r\n").encode())
PY
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }
start=$(now)
(cd "$folder" && wine ./uninstall.exe /setup /S </dev/null >/dev/null 2>&1)
echo "setup /S: $(since "$start" "$(now)") s"
start=$(now)
(cd "$folder" && wine ./uninstall.exe /S </dev/null >/dev/null 2>&1)
mid=$(now)
for _ in $(seq 600); do [ -d "$folder" ] || break; sleep 0.2; done
echo "uninstall /S: $(since "$start" "$mid") s until the program ended, $(since "$start" "$(now)") s until its folder was gone"

for bench in bench/bench_text_lines.exe bench/lang/bench_language_file.exe bench/removal/bench_uninstall.exe; do
  echo "== ${bench##*/}"
  "$harness" run "$build" "$build/$bench"
done
