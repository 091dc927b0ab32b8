#pragma once
// The window that stands for the root window. A screensaver daemon or a
// window manager with a virtual desktop may cover the real root with a window
// of its own and mark it with the __SWM_VROOT property (a window id) on one of
// the root's children; what is drawn on the real root is then hidden.
#include <X11/Xlib.h>

// The window named by __SWM_VROOT on a child of the screen's root window, when
// one names a window that exists; otherwise the root window itself.
Window VirtualRootWindow(Display* dpy, int screen);
