# Which Windows program this machine can test, and how to start Wine for it.
# Source it. Some kernels refuse every i386 program, and then Wine's 32-bit
# loader cannot start; Debian's `wine` wrapper still picks it whenever it is
# installed. So the choice is probed once per shell and made explicit:
#   QRV_ARCH       win32 (the shipped 32-bit program) or win64; set it to force one
#   QRV_WINE       the Wine loader for that arch
#   QRV_WINESERVER the matching wineserver
#   QRV_WIN_BUILD  the cross-build folder of that arch (relative to the repo)
#   QRV_DIST       the ready-to-run folder of that arch (relative to the repo)
#   QRV_CAN_WIN32  1 when 32-bit code runs here
# and the functions qrv_wine, qrv_wineserver, qrv_wineboot.
if [ -z "${QRV_CAN_WIN32:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then QRV_CAN_WIN32=1; else QRV_CAN_WIN32=0; fi
  export QRV_CAN_WIN32
fi
if [ -z "${QRV_ARCH:-}" ]; then
  if [ "$QRV_CAN_WIN32" = 1 ]; then QRV_ARCH=win32; else QRV_ARCH=win64; fi
fi
case "$QRV_ARCH" in
  win32)
    # Debian's wrappers: they pick the 32-bit loader and the matching server.
    QRV_WINE=/usr/bin/wine; QRV_WINESERVER=/usr/bin/wineserver; QRV_WIN_BUILD=build/win; QRV_DIST=dist
    unset WINELOADER WINESERVER ;;
  win64)
    # The 64-bit loader and server, called directly: the wrappers would pick
    # the 32-bit ones. WINELOADER tells Wine which loader starts new processes.
    QRV_WINE=/usr/lib/wine/wine64; QRV_WINESERVER=/usr/lib/wine/wineserver64
    QRV_WIN_BUILD=build/win64; QRV_DIST=dist/x64
    export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ;;
  *) echo "QRV_ARCH must be win32 or win64, not '$QRV_ARCH'" >&2; return 1 2>/dev/null || exit 1 ;;
esac
export QRV_ARCH QRV_WINE QRV_WINESERVER QRV_WIN_BUILD QRV_DIST
qrv_wine() { "$QRV_WINE" "$@"; }
qrv_wineserver() { "$QRV_WINESERVER" "$@"; }
qrv_wineboot() { "$QRV_WINE" wineboot "$@"; }
