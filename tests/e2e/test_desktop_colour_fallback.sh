#!/usr/bin/env bash
# The desktop picture as background, where the desktop's wallpaper cannot be
# painted into the program's window (Wine paints it only in the process that
# owns the desktop): with UseBackGround "1" the margins around the movies
# show the fallback, the desktop colour, not the red wallpaper the user set
# and not the built-in picture; the text the user had on the clipboard is
# still there after the run. With "0" the built-in picture shows.
source "$(dirname "$0")/lib.sh"
e2e_begin desktop_colour_fallback

clip="$HELPERS/clip_tool.exe"
[ -f "$clip" ] || fail "missing $clip (scripts/build.sh builds it)"

# A user's desktop with a wallpaper and a desktop colour of its own.
convert -size 64x48 'xc:rgb(200,40,60)' "BMP3:$WINEPREFIX/drive_c/wall.bmp"
wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /t REG_SZ /d 'C:\wall.bmp' /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v WallpaperStyle /t REG_SZ /d 2 /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v TileWallpaper /t REG_SZ /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Colors' /v Background /t REG_SZ /d '0 128 0' /f >/dev/null 2>&1
# What PaintDesktop draws here. Wine loads the wallpaper only in the process
# that owns the desktop window (explorer); in any other process PaintDesktop
# fills the desktop's rectangle with the brush selected in the DC (white in a
# fresh window DC), in the normal and in the virtual-desktop mode alike. The
# capture selects the desktop colour's brush first, so the picture is that
# colour: the fallback this test checks.
painted="0 128 0"
wallpaper="200 40 60"

settings() {  # settings USEBACKGROUND: a profile past its first run, no music
  local kv
  for kv in InsKo=regkoinic EnableSound=0 'FileID=(Default)' SoundMCI=1 SoundID=Sandstorm SoundRND=0 "UseBackGround=$1"; do
    wine reg add "$SETTINGS_KEY" /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f >/dev/null 2>&1
  done
}

# The bottom margin, below the movie frame and clear of the title.
W=1024; H=768
margin="$((W - 16))x$((H * 99 / 100 - H * 93 / 100))+8+$((H * 93 / 100))"
# region_stats FILE GEOMETRY: "R G B SPREAD": the mean of each channel
# (0-255) and the largest channel standard deviation (in 1/1000).
region_stats() {
  convert "$1" -crop "$2" +repage -format \
    '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)] %[fx:int(1000*max(standard_deviation.r,max(standard_deviation.g,standard_deviation.b))+0.5)]' info:
}

# run_saver NAME: /s until loading has ended and the movies have drawn over
# the background for a while; leaves the shot in $SCREENS/NAME.png.
run_saver() {
  start_app /s
  wait_until 90 window_named QrvSaver2006 || fail "$1: the screensaver window did not appear"
  xdotool mousemove 600 10
  wait_until 30 placed || fail "$1: loading did not end"
  sleep 1.5   # the movies draw over the background for a while
  shot "$1" >/dev/null
}
end_by_click() {
  xdotool mousemove 300 300 click 1
  wait_exit 15 || fail "$1: a click did not end the run"
  [ "$APP_RC" = 0 ] || fail "$1: exit code $APP_RC"
}

# Wine keeps the clipboard only while its session lives; this keeps it alive
# between the runs, as the user's desktop would.
(exec "$QRV_WINE" "$clip" keep 120 >/dev/null 2>&1) &
E2E_PIDS+=("$!")
text="QrvSaver clipboard sentinel 42"
wine "$clip" set "$text" || fail "could not put text on the clipboard"
[ "$(wine "$clip" get)" = "$text" ] || fail "the clipboard does not read back"

# Case 1: the desktop picture.
settings 1
run_saver wallpaper_on
read -r r g b spread <<<"$(region_stats "$SCREENS/wallpaper_on.png" "$margin")"
[ "$spread" = 0 ] || fail "the margin is not one colour (spread $spread, mean $r $g $b; $SCREENS/wallpaper_on.png)"
[ "$r $g $b" != "$wallpaper" ] || fail "the margin shows the wallpaper colour: Wine painted it here; check the wallpaper itself"
[ "$r $g $b" = "$painted" ] || fail "the margin is $r $g $b, not the desktop colour $painted the fallback paints ($SCREENS/wallpaper_on.png)"
log "UseBackGround 1, desktop wallpaper not paintable here: the margin shows the fallback, the desktop colour ($painted): ok"
end_by_click wallpaper_on
got=$(wine "$clip" get) || fail "the clipboard holds no text after the run"
[ "$got" = "$text" ] || fail "the clipboard holds '$got' after the run"
log "the clipboard text outlived the capture and the run: ok"

# Case 2: the built-in picture, stretched over the screen as the program
# draws it: its bottom band, not one colour, and nothing else.
settings 0
run_saver wallpaper_off
read -r r g b spread <<<"$(region_stats "$SCREENS/wallpaper_off.png" "$margin")"
[ "$spread" -ge 20 ] || fail "the margin is nearly one colour (spread $spread, mean $r $g $b); the built-in picture is not ($SCREENS/wallpaper_off.png)"
convert "$E2E_ROOT/src/win/res/background.png" -resize "${W}x${H}!" "$E2E_DIR/builtin.png"
# Root mean square difference, 0 to 1; the picture upside down gives 0.048.
rmse=$(rmse_below "$E2E_DIR/builtin.png" "$SCREENS/wallpaper_off.png" "$margin" 0.01) ||
  fail "the margin differs from the built-in picture by $rmse ($SCREENS/wallpaper_off.png)"
log "UseBackGround 0: the built-in picture (difference $rmse): ok"
end_by_click wallpaper_off
[ "$(wine "$clip" get)" = "$text" ] || fail "the clipboard changed in the run without the desktop picture"
echo "PASS desktop_colour_fallback"
