/* A small window that stands for the settings program's preview: it maps a
 * 320 by 240 window, prints its id and waits until it is killed. With -vroot
 * it marks itself as the screen's virtual root (the __SWM_VROOT property
 * naming itself), as a screensaver daemon's or a virtual desktop's window does. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(NULL);
  if (!d) return 1;
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 320, 240, 0, 0, 0x202020);
  if (argc > 1 && strcmp(argv[1], "-vroot") == 0) {
    const unsigned long self = w;
    XChangeProperty(d, w, XInternAtom(d, "__SWM_VROOT", False), XA_WINDOW, 32, PropModeReplace,
                    (const unsigned char*)&self, 1);
  }
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XEvent e;
  do XNextEvent(d, &e);
  while (e.type != MapNotify);
  printf("0x%lx\n", w);
  fflush(stdout);
  for (;;) XNextEvent(d, &e);
}
