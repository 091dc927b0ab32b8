/* The floor of the Linux hack's cost: the least any full-screen 30 fps
 * animation costs on this X server. It draws on the root window from a
 * full-screen shared-memory image, changes one row of it per frame and sends
 * all of it with one XShmPutImage, 30 times a second, until killed. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <stdint.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

int main(void) {
  Display* d = XOpenDisplay(NULL);
  if (!d || !XShmQueryExtension(d)) return 1;
  const int s = DefaultScreen(d);
  const Window root = RootWindow(d, s);
  const int w = DisplayWidth(d, s), h = DisplayHeight(d, s);
  XShmSegmentInfo info;
  XImage* img = XShmCreateImage(d, DefaultVisual(d, s), (unsigned)DefaultDepth(d, s), ZPixmap, NULL, &info,
                                (unsigned)w, (unsigned)h);
  info.shmid = shmget(IPC_PRIVATE, (size_t)img->bytes_per_line * (size_t)h, IPC_CREAT | 0600);
  info.shmaddr = img->data = shmat(info.shmid, NULL, 0);
  info.readOnly = False;
  XShmAttach(d, &info);
  XSync(d, False);
  shmctl(info.shmid, IPC_RMID, NULL);
  memset(img->data, 0, (size_t)img->bytes_per_line * (size_t)h);
  GC gc = XCreateGC(d, root, 0, NULL);
  struct timespec next;
  clock_gettime(CLOCK_MONOTONIC, &next);
  for (unsigned frame = 0;; ++frame) {
    uint32_t* row = (uint32_t*)(img->data + (size_t)img->bytes_per_line * (frame % (unsigned)h));
    for (int x = 0; x < w; ++x) row[x] = frame * 2654435761u;
    XShmPutImage(d, root, gc, img, 0, 0, 0, 0, (unsigned)w, (unsigned)h, False);
    XSync(d, False);
    next.tv_nsec += 1000000000L / 30;
    if (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
  }
}
