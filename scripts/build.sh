#!/usr/bin/env bash
# Builds the host build (portable core, unit tests, tools) and the Windows
# cross build, and leaves the ready-to-run folder dist/. Runs no tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QRV_JOBS:-$(nproc)}"

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build/host -j "$jobs"

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
ninja -C build/win -j "$jobs"

rm -rf dist/QR06V2XLM dist/QrvSaver2006.scr
mkdir -p dist
cp build/win/src/win/QrvSaver2006.scr dist/
cp -r data/QR06V2XLM dist/QR06V2XLM
echo "build: dist/QrvSaver2006.scr and dist/QR06V2XLM ready"

# Installers, one per program (NSIS; see installer/QrvSaver2006.nsi).
version=$(sed -n 's/.*VALUE "ProductVersion", "\([0-9.]*\)".*/\1/p' src/win/res/app.rc)
build_installer() {  # build_installer ARCH FOLDER
  [ -f "$2/QrvSaver2006.scr" ] || return 0
  (cd installer && makensis -V2 -DARCH="$1" -DSRCDIR="$2" -DVERSION="${version:-1.0.0.0}" \
     -DOUTFILE="$root/dist/QrvSaver2006-setup-$1.exe" QrvSaver2006.nsi >/dev/null)
  echo "build: dist/QrvSaver2006-setup-$1.exe ready"
}
build_installer x86 "$root/dist"
build_installer x64 "$root/dist/x64"
