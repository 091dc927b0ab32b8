#include "virtual_root.h"

#include <X11/Xatom.h>

Window VirtualRootWindow(Display* dpy, int screen) {
  const Window root = RootWindow(dpy, screen);
  const Atom vroot_atom = XInternAtom(dpy, "__SWM_VROOT", False);
  Window root_ret = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy, root, &root_ret, &parent, &children, &count)) return root;
  Window found = root;
  for (unsigned int i = 0; i < count && found == root; ++i) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // A child may vanish between the query and this read; the error handler
    // in place ignores that, and the read then fails.
    if (XGetWindowProperty(dpy, children[i], vroot_atom, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                           &data) == Success &&
        type == XA_WINDOW && format == 32 && items == 1 && data) {
      const Window named = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
      XWindowAttributes wa{};
      if (named != 0 && XGetWindowAttributes(dpy, named, &wa)) found = named;
    }
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}
