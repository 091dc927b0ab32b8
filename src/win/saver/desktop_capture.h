#pragma once
#include <windows.h>

#include "shared/picture.h"

// Copies the client area of window `from` into a new device-dependent bitmap
// (compatible DC, compatible bitmap, BitBlt SRCCOPY) and returns it; the caller
// owns it. Returns nullptr when the memory context or the bitmap cannot be made.
// Unlike a copy through the clipboard, the user's clipboard is left alone.
HBITMAP CopyEntirePicture(HWND from);

// The pixels of a bitmap as a 32-bit top-down picture; empty on failure.
Picture PictureFromBitmap(HBITMAP bitmap);

// Paints the desktop wallpaper into `window`, then captures its client area.
// Returns an empty picture when the capture fails.
Picture CaptureDesktopInto(HWND window);
