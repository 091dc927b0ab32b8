/* A small window that stands for the settings program's preview: it maps a
 * 320 by 240 window, prints its id and waits until it is killed. */
#include <X11/Xlib.h>
#include <stdio.h>

int main(void) {
  Display* d = XOpenDisplay(NULL);
  if (!d) return 1;
  Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 320, 240, 0, 0, 0x202020);
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XEvent e;
  do XNextEvent(d, &e);
  while (e.type != MapNotify);
  printf("0x%lx\n", w);
  fflush(stdout);
  for (;;) XNextEvent(d, &e);
}
