#!/usr/bin/env bash
# Builds the Linux hack without sanitizers, with Debian's hardening flags, and
# packs dist/qrvsaver_<version>_amd64.deb with dpkg-deb:
#   /usr/libexec/xscreensaver/qrvsaver          the hack
#   /usr/share/xscreensaver/config/qrvsaver.xml  its page in xscreensaver-settings
#   /usr/share/qrvsaver/                         the movies and songs
#   /usr/share/man/man6/qrvsaver.6.gz            the manual page
# Its dependencies are the Debian packages of the libraries it links
# (dpkg-shlibdeps). Called by scripts/build.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QRV_JOBS:-$(nproc)}"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRV_SANITIZE=OFF \
  -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_C_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
ninja -C build/linux -j "$jobs" qrvsaver

version=$(sed -n 's/^project(QrvSaver2006 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
pkg=build/deb/qrvsaver
rm -rf build/deb
umask 022
install -d "$pkg/DEBIAN" "$pkg/usr/libexec/xscreensaver" "$pkg/usr/share/xscreensaver/config" \
  "$pkg/usr/share/qrvsaver/MCI" "$pkg/usr/share/man/man6" "$pkg/usr/share/doc/qrvsaver"
install -m 755 --strip build/linux/src/x11/qrvsaver "$pkg/usr/libexec/xscreensaver/qrvsaver"
install -m 644 src/x11/package/qrvsaver.xml "$pkg/usr/share/xscreensaver/config/"
install -m 644 data/QR06V2XLM/*.vsi data/QR06V2XLM/*.is "$pkg/usr/share/qrvsaver/"
install -m 644 data/QR06V2XLM/MCI/*.seq "$pkg/usr/share/qrvsaver/MCI/"
gzip -9n -c src/x11/package/qrvsaver.6 >"$pkg/usr/share/man/man6/qrvsaver.6.gz"
install -m 644 src/x11/package/copyright "$pkg/usr/share/doc/qrvsaver/copyright"
sed "s/@VERSION@/$version/; s/@DATE@/$(date -R -d @"${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")/" \
  src/x11/package/changelog | gzip -9n >"$pkg/usr/share/doc/qrvsaver/changelog.gz"

# Dependencies from the libraries the program links.
tmp=$(mktemp -d)
mkdir -p "$tmp/debian"
printf 'Source: qrvsaver\n\nPackage: qrvsaver\nArchitecture: any\n' >"$tmp/debian/control"
depends=$(cd "$tmp" && dpkg-shlibdeps -O "$root/$pkg/usr/libexec/xscreensaver/qrvsaver" 2>/dev/null |
          sed -n 's/^shlibs:Depends=//p')
rm -rf "$tmp"
[ -n "$depends" ] || { echo "package_deb: no dependencies found" >&2; exit 1; }

size=$(du -k -s --exclude=DEBIAN "$pkg" | cut -f1)
sed "s/@VERSION@/$version/; s/@ARCH@/$arch/; s/@DEPENDS@/$depends/; s/@SIZE@/$size/" \
  src/x11/package/control >"$pkg/DEBIAN/control"
(cd "$pkg" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$pkg/DEBIAN/md5sums"
chmod 644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
mkdir -p dist
out="dist/qrvsaver_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$out" >/dev/null
echo "build: $out ready"
