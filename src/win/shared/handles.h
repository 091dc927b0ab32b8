#pragma once
// Small scoped owners of the program's handles (GDI, USER, files, registry
// keys, WinINet, file searches, the clipboard): each releases its handle with
// the matching call when it leaves scope, so every operation gives back what
// it took, in reverse order, on every path. Move-only.
#include <windows.h>
#include <wininet.h>

#include <utility>

// One handle and the call that releases it. Traits supply:
//   using Type = ...;  static Type Invalid();  static bool Release(Type);
// Release reports whether the platform's release call succeeded.
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
  // Releases the handle now. False when the release call failed (a file
  // whose last buffered write could not be made, say); the handle is gone
  // either way.
  bool Close() {
    const Type h = release();
    return h == Traits::Invalid() || Traits::Release(h);
  }

 private:
  Type h_ = Traits::Invalid();
};

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static bool Release(Type h) { return DeleteObject(h) != FALSE; }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static bool Release(Type h) { return DeleteDC(h) != FALSE; }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static bool Release(Type h) { return DestroyIcon(h) != FALSE; }
};
// CreateFile ... CloseHandle (a failed open gives INVALID_HANDLE_VALUE).
struct FileTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Release(Type h) { return CloseHandle(h) != FALSE; }
};
// FindFirstFile ... FindClose.
struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Release(Type h) { return FindClose(h) != FALSE; }
};
// RegOpenKeyEx / RegCreateKeyEx ... RegCloseKey. A predefined root
// (HKEY_CURRENT_USER and its kin, what an empty path opens) is not ours to
// close, so it is held but never released.
struct KeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool IsPredefined(Type h) {
    const ULONG_PTR v = reinterpret_cast<ULONG_PTR>(h), first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    return v - first <= 0x0F;
  }
  static bool Release(Type h) { return IsPredefined(h) || RegCloseKey(h) == ERROR_SUCCESS; }
};
// InternetOpen / InternetConnect / HttpOpenRequest ... InternetCloseHandle.
struct InternetTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static bool Release(Type h) { return InternetCloseHandle(h) != FALSE; }
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
using FileHandle = ScopedHandle<FileTraits>;
using FindHandle = ScopedHandle<FindTraits>;
using KeyHandle = ScopedHandle<KeyTraits>;
using InternetHandle = ScopedHandle<InternetTraits>;

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

// OpenClipboard ... CloseClipboard: the clipboard is closed again on every
// path, so that no other program finds it held by this one.
class ClipboardOpen {
 public:
  explicit ClipboardOpen(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ClipboardOpen(const ClipboardOpen&) = delete;
  ClipboardOpen& operator=(const ClipboardOpen&) = delete;
  ~ClipboardOpen() {
    if (open_) CloseClipboard();
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

// GlobalLock ... GlobalUnlock of one memory object.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL mem) : mem_(mem), p_(mem ? GlobalLock(mem) : nullptr) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (p_) GlobalUnlock(mem_);
  }
  void* get() const { return p_; }

 private:
  HGLOBAL mem_;
  void* p_;
};
