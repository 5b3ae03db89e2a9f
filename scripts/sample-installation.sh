#!/usr/bin/env bash
# Lays out a sample Pelodra installation in a prefix, as the product's
# installer leaves it: stand-in product files, the tool, and the list of
# installed files. Usage: sample-installation.sh PREFIX UNINSTALL_EXE
set -euo pipefail
prefix=${1:?prefix}
exe=${2:?uninstall.exe}
folder="$prefix/drive_c/Program Files (x86)/Pelodra"
[ -d "$prefix/drive_c/Program Files (x86)" ] || folder="$prefix/drive_c/Program Files/Pelodra"
rm -rf "$folder"
mkdir -p "$folder/Formats"
for f in Pelodra.exe kelext.dll kelext64.dll Pelodra.chm Kel.txt License.txt Order.htm \
         license.txt Formats/readme.txt; do
  printf 'Stand-in for %s of the sample installation.\r\n' "$f" >"$folder/$f"
done
cp "$exe" "$folder/uninstall.exe"
printf '%s\r\n' Formats/readme.txt Formats Pelodra.exe kelext.dll kelext64.dll Pelodra.chm \
  Kel.txt License.txt Order.htm license.txt kelnew.dat zipnew.dat uninstall.exe >"$folder/Uninstall.lst"
echo "$folder"
