#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build, run and test the
# screensaver. Idempotent: a second run only checks and returns quickly.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
SUDO=""; [ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Does this kernel run 32-bit programs? Some refuse every i386 program
# ("Exec format error"); there Wine's 32-bit side could not start, so it is
# not installed, and the tests run the 64-bit program (scripts/wine_env.sh).
# The probe is a tiny i386 program that only exits.
probe=$(mktemp)
python3 - "$probe" <<'PY'
import struct, sys
base, code = 0x08048000, bytes.fromhex("b801000000" "31db" "cd80")  # exit(0)
size = 52 + 32 + len(code)
ehdr = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
phdr = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
open(sys.argv[1], "wb").write(ehdr + phdr + code)
PY
chmod +x "$probe"
can32=0; "$probe" 2>/dev/null && can32=1
rm -f "$probe"

pkgs=(cmake ninja-build g++ make pkg-config python3
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
      g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      wine wine64 xvfb xdotool imagemagick x11-utils x11-xserver-utils
      googletest libgtest-dev libbenchmark-dev rapidjson-dev libstb-dev
      clang libclang-rt-14-dev dpkg-dev patch
      timidity sox freepats
      xserver-xorg-core xserver-xorg-video-dummy nsis
      libx11-dev libxext-dev libfluidsynth-dev fluid-soundfont-gm xscreensaver lintian
      chromium    # the download site's pages are checked in a real browser
      synfigstudio synfig python3-lxml)  # the makers' guide: Synfig and its Lottie exporter (which needs lxml)
[ "$can32" = 1 ] && pkgs+=(wine32:i386)

need_install=()
have_arch=$(dpkg --print-foreign-architectures | grep -c '^i386$' || true)
[ "$can32" = 1 ] || have_arch=1   # no i386 packages needed
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need_install+=("$p")
done

# deb-src entries, derived from the machine's own apt source file.
src_list=/etc/apt/sources.list.d/qrv-src.sources
if [ ! -f "$src_list" ]; then
  for f in /etc/apt/sources.list.d/debian.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" | $SUDO tee "$src_list" >/dev/null
  done
  if [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list ]; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/qrv-src.list >/dev/null
    $SUDO touch "$src_list"
  fi
  updated=0
else
  updated=1
fi

rl_dir="$here/third_party/rlottie-src"
if [ "$have_arch" = 0 ] || [ ${#need_install[@]} -gt 0 ] || [ ! -f "$rl_dir/CMakeLists.txt" ] || [ "$updated" = 0 ]; then
  [ "$have_arch" = 0 ] && $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  if [ ${#need_install[@]} -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${need_install[@]}"
  fi
fi

# rlottie source, with Debian's patches applied (apt-get source applies them).
if [ ! -f "$rl_dir/CMakeLists.txt" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq rlottie >/dev/null)
  d=$(find "$tmp" -maxdepth 1 -type d -name 'rlottie-*' | head -1)
  [ -n "$d" ] || { echo "setup: rlottie source not obtained" >&2; exit 1; }
  mkdir -p "$here/third_party"
  rm -rf "$rl_dir"; mv "$d" "$rl_dir"; rm -rf "$tmp"
fi
echo "setup: ok (32-bit programs run here: $([ "$can32" = 1 ] && echo yes || echo no))"
