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
