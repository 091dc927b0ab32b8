#!/usr/bin/env bash
# Builds the host build (portable core, unit tests, tools) and both Windows
# cross builds, and leaves the ready-to-run folders:
#   dist/QrvSaver2006.scr     + dist/QR06V2XLM       the shipped 32-bit program
#   dist/x64/QrvSaver2006.scr + dist/x64/QR06V2XLM   the 64-bit program
#   dist/tools/vsicheck, dist/tools/vsicheck.exe     the makers' checker (Linux, Windows;
#                                                    dist/x64/tools/ the 64-bit one)
# The programs in dist/ are stripped; their symbols stay beside the builds
# (build/win*/src/win/QrvSaver2006.scr.debug) so a crash address can be read.
#   dist/qrvsaver_<version>_amd64.deb                 the Linux XScreenSaver hack
# Runs no tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QRV_JOBS:-$(nproc)}"

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build/host -j "$jobs"

# ship BUILD_DIR TOOL_PREFIX DIST_DIR
ship() {
  local exe="$1/src/win/QrvSaver2006.scr"
  "$2-objcopy" --only-keep-debug "$exe" "$exe.debug"
  rm -rf "$3/QR06V2XLM" "$3/QrvSaver2006.scr"
  mkdir -p "$3"
  "$2-objcopy" --strip-all --add-gnu-debuglink="$exe.debug" "$exe" "$3/QrvSaver2006.scr"
  cp -r data/QR06V2XLM "$3/QR06V2XLM"
}

for arch in i686 x86_64; do
  dir=build/win; [ "$arch" = x86_64 ] && dir=build/win64
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >/dev/null
  ninja -C "$dir" -j "$jobs"
done
ship build/win i686-w64-mingw32 dist
ship build/win64 x86_64-w64-mingw32 dist/x64
echo "build: dist/QrvSaver2006.scr (32-bit) and dist/x64/QrvSaver2006.scr (64-bit) ready, each with QR06V2XLM"

# vsicheck, the makers' checker: natively (without the sanitizers of the test
# build) and as Windows console programs beside the saver.
cmake -S . -B build/tools -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRV_SANITIZE=OFF >/dev/null
ninja -C build/tools -j "$jobs" vsicheck
mkdir -p dist/tools dist/x64/tools
strip -o dist/tools/vsicheck build/tools/tools/vsicheck/vsicheck
i686-w64-mingw32-strip -o dist/tools/vsicheck.exe build/win/tools/vsicheck/vsicheck.exe
x86_64-w64-mingw32-strip -o dist/x64/tools/vsicheck.exe build/win64/tools/vsicheck/vsicheck.exe
echo "build: dist/tools/vsicheck (Linux), dist/tools/vsicheck.exe (32-bit) and dist/x64/tools/vsicheck.exe ready"

# Installers, one per program (NSIS; see installer/QrvSaver2006.nsi).
version=$(sed -n 's/.*VALUE "ProductVersion", "\([0-9.]*\)".*/\1/p' src/win/res/app.rc)
build_installer() {  # build_installer ARCH FOLDER
  (cd installer && makensis -V2 -DARCH="$1" -DSRCDIR="$2" -DVERSION="${version:-1.0.0.0}" \
     -DOUTFILE="$root/dist/QrvSaver2006-setup-$1.exe" QrvSaver2006.nsi >/dev/null)
  echo "build: dist/QrvSaver2006-setup-$1.exe ready"
}
build_installer x86 "$root/dist"
build_installer x64 "$root/dist/x64"

# The Linux hack, as a Debian package (scripts/package_deb.sh).
bash scripts/package_deb.sh
