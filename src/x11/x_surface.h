#pragma once
// A picture in client memory that is shown in an X window: shared memory
// (MIT-SHM) where the server offers it and can reach our memory, else an
// ordinary XImage sent over the connection with XPutImage (a remote display).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

class XSurface {
 public:
  XSurface(Display* dpy, Window win, Visual* visual, int depth);
  ~XSurface();
  XSurface(const XSurface&) = delete;
  XSurface& operator=(const XSurface&) = delete;

  // Makes the picture width x height. False when no image could be had.
  bool Resize(int width, int height);
  // Copies the rectangle (x, y, w, h) of pixels (stride `width` words,
  // 0xAARRGGBB, alpha ignored) into the picture and sends it to the window.
  void Present(const uint32_t* pixels, int x, int y, int w, int h);
  bool UsesShm() const { return shm_attached_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  void Release();
  bool CreateShm(int width, int height);
  bool CreatePlain(int width, int height);
  void CopyRect(const uint32_t* pixels, int x, int y, int w, int h);

  Display* dpy_;
  Window win_;
  Visual* visual_;
  int depth_;
  GC gc_;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shm_attached_ = false;
  bool shm_usable_;  // false after the server refused an attach
  int width_ = 0, height_ = 0;
  // The visual's channel layout, for pictures that are not 0x00RRGGBB words.
  bool direct_ = false;
  int rshift_ = 0, gshift_ = 0, bshift_ = 0, rbits_ = 8, gbits_ = 8, bbits_ = 8;
};
