#pragma once
// Small scoped owners of GDI and USER handles: each releases its handle with
// the matching call when it leaves scope, so every operation gives back what
// it took, in reverse order, on every path. Move-only.
#include <windows.h>

#include <utility>

// One handle and the call that releases it. Traits supply:
//   using Type = ...;  static Type Invalid();  static void Release(Type);
template <typename Traits>
class ScopedHandle {
 public:
  using Type = typename Traits::Type;
  ScopedHandle() = default;
  explicit ScopedHandle(Type h) : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : h_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  Type get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  // Gives the handle up without releasing it.
  Type release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(Type h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Release(h_);
    h_ = h;
  }

 private:
  Type h_ = Traits::Invalid();
};

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Release(Type h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Release(Type h) { DeleteDC(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Release(Type h) { DestroyIcon(h); }
};

// A pen, brush, font, bitmap or region of our own (DeleteObject).
template <typename T>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(T h) : h_(h) {}
  T get() const { return static_cast<T>(h_.get()); }
  explicit operator bool() const { return static_cast<bool>(h_); }
  T release() { return static_cast<T>(h_.release()); }
  void reset(T h = nullptr) { h_.reset(h); }

 private:
  ScopedHandle<GdiObjectTraits> h_;
};
using ScopedBitmap = GdiObject<HBITMAP>;
using ScopedFont = GdiObject<HFONT>;
using ScopedBrush = GdiObject<HBRUSH>;

// CreateCompatibleDC ... DeleteDC.
using MemoryDc = ScopedHandle<MemoryDcTraits>;
// CreateIcon / CreateIconIndirect ... DestroyIcon.
using ScopedIcon = ScopedHandle<IconTraits>;

// GetDC(window) ... ReleaseDC(window); window nullptr is the screen.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint ... EndPaint, for WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &ps_); }
  HDC get() const { return dc_; }
  const RECT& dirty() const { return ps_.rcPaint; }
  // True when WM_ERASEBKGND left the background to this paint.
  bool erase() const { return ps_.fErase != FALSE; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// SelectObject(dc, obj) ... SelectObject(dc, previous): the object goes back
// out of the DC before the DC or the object is released.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ obj) : dc_(dc), old_(dc && obj ? SelectObject(dc, obj) : nullptr) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  explicit operator bool() const { return old_ != nullptr && old_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};
