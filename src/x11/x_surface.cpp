#include "x_surface.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

namespace {

bool g_attach_failed = false;
int AttachErrorHandler(Display*, XErrorEvent*) {
  g_attach_failed = true;
  return 0;
}

void MaskShift(unsigned long mask, int* shift, int* bits) {
  *shift = 0;
  *bits = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++*shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++*bits;
  }
}

// The server can map our shared memory only when it runs on this machine.
bool DisplayIsLocal(Display* dpy) {
  const char* name = DisplayString(dpy);
  if (!name) return false;
  if (name[0] == ':') return true;
  return std::strncmp(name, "unix:", 5) == 0 || std::strncmp(name, "localhost:", 10) == 0 ||
         name[0] == '/';  // a socket path, as some launchers give
}

}  // namespace

XSurface::XSurface(Display* dpy, Window win, Visual* visual, int depth)
    : dpy_(dpy), win_(win), visual_(visual), depth_(depth) {
  gc_ = XCreateGC(dpy_, win_, 0, nullptr);
  int major = 0, minor = 0;
  Bool pixmaps = False;
  shm_usable_ = DisplayIsLocal(dpy_) && XShmQueryVersion(dpy_, &major, &minor, &pixmaps);
  MaskShift(visual_->red_mask, &rshift_, &rbits_);
  MaskShift(visual_->green_mask, &gshift_, &gbits_);
  MaskShift(visual_->blue_mask, &bshift_, &bbits_);
}

XSurface::~XSurface() {
  Release();
  XFreeGC(dpy_, gc_);
}

void XSurface::Release() {
  if (!image_) return;
  if (shm_attached_) {
    XShmDetach(dpy_, &shm_);
    XSync(dpy_, False);
    XDestroyImage(image_);
    shmdt(shm_.shmaddr);
    shm_attached_ = false;
  } else {
    XDestroyImage(image_);  // frees the data too
  }
  image_ = nullptr;
  width_ = height_ = 0;
}

bool XSurface::CreateShm(int width, int height) {
  XImage* img = XShmCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                                static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (!img) return false;
  const size_t bytes = static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(height);
  shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shm_.shmid < 0) {
    XDestroyImage(img);
    return false;
  }
  shm_.shmaddr = img->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
  if (shm_.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    img->data = nullptr;
    XDestroyImage(img);
    return false;
  }
  shm_.readOnly = False;
  g_attach_failed = false;
  XSync(dpy_, False);
  XErrorHandler old = XSetErrorHandler(AttachErrorHandler);
  XShmAttach(dpy_, &shm_);
  XSync(dpy_, False);
  XSetErrorHandler(old);
  // Marked for removal now: the segment goes when both sides detach, even if
  // this process is killed.
  shmctl(shm_.shmid, IPC_RMID, nullptr);
  if (g_attach_failed) {
    shmdt(shm_.shmaddr);
    img->data = nullptr;
    XDestroyImage(img);
    shm_usable_ = false;
    return false;
  }
  image_ = img;
  shm_attached_ = true;
  return true;
}

bool XSurface::CreatePlain(int width, int height) {
  XImage* img = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!img) return false;
  img->data = static_cast<char*>(std::calloc(static_cast<size_t>(img->bytes_per_line), static_cast<size_t>(height)));
  if (!img->data) {
    XDestroyImage(img);
    return false;
  }
  image_ = img;
  return true;
}

bool XSurface::Resize(int width, int height) {
  if (image_ && width == width_ && height == height_) return true;
  Release();
  if (width <= 0 || height <= 0) return false;
  if (!(shm_usable_ && CreateShm(width, height)) && !CreatePlain(width, height)) return false;
  width_ = width;
  height_ = height;
  direct_ = image_->bits_per_pixel == 32 && image_->red_mask == 0xFF0000 && image_->green_mask == 0xFF00 &&
            image_->blue_mask == 0xFF && image_->byte_order == LSBFirst;
  return true;
}

void XSurface::CopyRect(const uint32_t* pixels, int x, int y, int w, int h) {
  for (int row = y; row < y + h; ++row) {
    const uint32_t* src = pixels + static_cast<size_t>(row) * static_cast<size_t>(width_) + x;
    if (direct_) {
      char* dst = image_->data + static_cast<size_t>(row) * static_cast<size_t>(image_->bytes_per_line) +
                  static_cast<size_t>(x) * 4;
      std::memcpy(dst, src, static_cast<size_t>(w) * 4);
      continue;
    }
    for (int col = 0; col < w; ++col) {
      const uint32_t p = src[col];
      const unsigned long r = ((p >> 16) & 0xFF) >> (8 - rbits_);
      const unsigned long g = ((p >> 8) & 0xFF) >> (8 - gbits_);
      const unsigned long b = (p & 0xFF) >> (8 - bbits_);
      XPutPixel(image_, x + col, row, (r << rshift_) | (g << gshift_) | (b << bshift_));
    }
  }
}

void XSurface::Present(const uint32_t* pixels, int x, int y, int w, int h) {
  if (!image_ || !pixels) return;
  if (x < 0) { w += x; x = 0; }
  if (y < 0) { h += y; y = 0; }
  if (x + w > width_) w = width_ - x;
  if (y + h > height_) h = height_ - y;
  if (w <= 0 || h <= 0) return;
  CopyRect(pixels, x, y, w, h);
  if (shm_attached_) {
    XShmPutImage(dpy_, win_, gc_, image_, x, y, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), False);
    // The server reads the segment after the request: wait for it before the
    // next frame is written into the same memory.
    XSync(dpy_, False);
  } else {
    XPutImage(dpy_, win_, gc_, image_, x, y, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XFlush(dpy_);
  }
}
