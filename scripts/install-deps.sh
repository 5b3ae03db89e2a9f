#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, and
# skips what is there already.
#
# Wine runs the 32-bit program with its 32-bit loader. On a kernel that runs
# 32-bit x86 code natively that is all; where the kernel refuses 32-bit
# binaries (no IA-32 emulation), the 32-bit loader is run through a static
# qemu-i386 from Debian, registered with binfmt_misc. The qemu of Debian 12
# is too old for Wine, so the one of the next Debian release is taken from
# its package (a static binary, nothing else of that release is installed),
# from the mirror that this machine's apt sources already use.
#
#   install-deps.sh                      install what is missing
#   install-deps.sh --print-qemu-source  print the apt source line that the
#                                        emulator would be fetched from
set -euo pipefail

QEMU_DIR=/opt/qemu-i386
QEMU_BIN=$QEMU_DIR/qemu-i386
QEMU_SUITE=trixie
QEMU_KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg
BINFMT=/proc/sys/fs/binfmt_misc

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

install_packages() {
  local need=()
  have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686)
  have_cmd cmake || need+=(cmake)
  have_cmd Xvfb || need+=(xvfb)
  have_pkg googletest || need+=(googletest)
  have_pkg wine || need+=(wine)
  have_pkg wine64 || need+=(wine64)
  have_pkg wine32:i386 || need+=(wine32:i386)
  have_cmd xwd || need+=(x11-apps)
  have_cmd convert || need+=(imagemagick)
  have_cmd python3 || need+=(python3)
  [ ${#need[@]} -eq 0 ] && return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "Installing: ${need[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# Can this kernel start a 32-bit x86 program by itself?
runs_i386() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The source of the emulator's package: the mirror of the machine's own
# Debian release (the configured entry whose suite is the release's code
# name, with main), with the next release's suite. apt reads the one-line
# and the deb822 files alike; suites such as -updates or -security, and
# other vendors' entries, never match.
qemu_source() {
  local codename site
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "error: /etc/os-release names no release" >&2; return 1; }
  site=$(apt-get indextargets --no-release-info --format '$(TARGET_OF) $(RELEASE) $(COMPONENT) $(SITE)' \
           | awk -v suite="$codename" '$1 == "deb" && $2 == suite && $3 == "main" { print $4; exit }')
  [ -n "$site" ] || { echo "error: no apt source of $codename main to take $QEMU_SUITE from" >&2; return 1; }
  echo "deb [arch=$(dpkg --print-architecture) signed-by=$QEMU_KEYRING] $site $QEMU_SUITE main"
}

install_qemu() {
  [ -x "$QEMU_BIN" ] && return 0
  local work
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  qemu_source >"$work/sources"
  local opts=(-o "Dir::Etc::sourcelist=$work/sources" -o Dir::Etc::sourceparts=/dev/null
              -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
              -o APT::Sandbox::User=root)
  echo "Fetching qemu-i386 from Debian $QEMU_SUITE"
  apt-get "${opts[@]}" update -qq
  (cd "$work" && apt-get "${opts[@]}" download "qemu-user/$QEMU_SUITE" >/dev/null)
  dpkg -x "$work"/qemu-user_*.deb "$work/root"
  $sudo mkdir -p "$QEMU_DIR"
  $sudo install -m 755 "$work/root/usr/bin/qemu-i386" "$QEMU_BIN"
  rm -rf "$work"
}

register_binfmt() {
  [ -e "$BINFMT/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$BINFMT"
  [ -e "$BINFMT/qemu-i386" ] && return 0
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU_BIN"':F' \
    | $sudo tee "$BINFMT/register" >/dev/null
}

if [ "${1:-}" = --print-qemu-source ]; then
  qemu_source
  exit
fi
install_packages
if ! runs_i386; then
  install_qemu
  register_binfmt
  runs_i386 || { echo "error: 32-bit programs still cannot run here" >&2; exit 1; }
fi
