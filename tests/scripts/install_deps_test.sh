#!/usr/bin/env bash
# The emulator's package source is derived from apt's own configuration
# (one-line and deb822 files), and no script of the repository names a
# package host. Runs on the build machine, not under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
arch=$(dpkg --print-architecture)
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
. "$root/tests/scripts/checks.sh"

# apt reads only the sources of the case's folder.
print_source() {
  local dir=$work/$1
  mkdir -p "$dir/parts" "$dir/sources.list.d"
  touch "$dir/sources.list"
  printf 'Dir::Etc::sourcelist "%s";\nDir::Etc::sourceparts "%s";\nDir::Etc::parts "%s";\n' \
    "$dir/sources.list" "$dir/sources.list.d" "$dir/parts" >"$dir/apt.conf"
  APT_CONFIG=$dir/apt.conf "$root/scripts/install-deps.sh" --print-qemu-source 2>"$dir/stderr"
}

# One-line format: the release's own entry with main wins over the updates
# and source entries listed before it, whatever else it carries.
mkdir -p "$work/one-line"
cat >"$work/one-line/sources.list" <<LIST
deb-src file:/srv/sources $codename main
deb file:/srv/updates $codename-updates main
deb [signed-by=$keyring] file:/srv/debian $codename contrib main non-free-firmware
LIST
check "one-line sources" "$(print_source one-line)" \
  "deb [arch=$arch signed-by=$keyring] file:/srv/debian trixie main"

# deb822 files: the security suite, another vendor's entry without main and
# a stanza of several suites; the last is the mirror.
mkdir -p "$work/deb822/sources.list.d"
cat >"$work/deb822/sources.list.d/a.sources" <<SOURCES
Types: deb
URIs: file:/srv/security
Suites: $codename-security
Components: main

Types: deb
URIs: file:/srv/vendor
Suites: $codename
Components: extras
SOURCES
cat >"$work/deb822/sources.list.d/b.sources" <<SOURCES
Types: deb deb-src
URIs: file:/srv/mirror/debian
Suites: $codename $codename-updates
Components: main
Signed-By: $keyring
SOURCES
check "deb822 sources" "$(print_source deb822)" \
  "deb [arch=$arch signed-by=$keyring] file:/srv/mirror/debian trixie main"

# Without an entry of the release's main there is nothing to derive: an
# error, and no source line that apt could be handed.
mkdir -p "$work/none/sources.list.d"
echo "deb file:/srv/updates $codename-updates main" >"$work/none/sources.list.d/u.list"
out=$(print_source none)
check "no source: exit status" "$?" 1
check "no source: output" "$out" ""
check "no source: message" "$(grep -c "no apt source of $codename main" "$work/none/stderr")" 1

# The machine's own configuration gives a line too.
check "this machine: a source line" \
  "$("$root/scripts/install-deps.sh" --print-qemu-source | grep -c "^deb \[arch=$arch signed-by=$keyring\] [^ ]* trixie main$")" 1

# Scripts take their hosts from the machine's configuration.
named=$(cd "$root" && git ls-files -z -- '*.sh' '*.py' '*.nsi' '*.cmake' '*CMakeLists.txt' .ci/run \
          | xargs -0 grep -lE '(https?|ftp)://' --)
check "scripts naming a host" "$named" ""

report
