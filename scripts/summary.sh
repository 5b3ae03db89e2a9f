#!/usr/bin/env bash
# Prints what of the product the prefix's registry and shell hold.
set -uo pipefail
build=$(cd "${1:?build}" && pwd)
eval "$("$(dirname "$0")/wine-harness.sh" env "$build")"
query() {
  local out
  out=$(wine reg query "$@" </dev/null 2>/dev/null) || return 0
  printf '%s\n' "$out" | tr -d '\r' | sed '/^$/d'
}
show() {
  local title=$1; shift
  local out
  out=$(query "$@")
  if [ -n "$out" ]; then echo "== $title"; echo "$out" | sed 's/^/   /'; else echo "== $title: none"; fi
}
show "Archive types (.zip)" 'HKCR\.zip'
show "Archive types (.kel)" 'HKCR\.kel'
show "Shell extension" 'HKCR\CLSID\{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}' /s
show "Uninstall entry" 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelodra archiver'
show "App Paths" 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Pelodra.exe'
keys=$(query 'HKCU\Software\Pelodra' /s | grep -c '^HKEY')
echo "== Settings: $keys keys below HKCU\Software\Pelodra"
for d in "$WINEPREFIX/drive_c/users/Public/Desktop" "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pelodra"; do
  [ -e "$d" ] && ls "$d" | grep -i pelodra | sed "s|^|== Shortcut in ${d#$WINEPREFIX/}: |"
done
true
