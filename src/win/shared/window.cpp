#include "shared/window.h"

#include "shared/trace.h"

Window::~Window() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Window::CreateWin(const char* class_name, DWORD ex_style, DWORD style, const char* title, int x, int y,
                       int w, int h, HWND parent, HBRUSH background) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  if (!GetClassInfoExA(inst, class_name, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Window::StaticProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(1));
    wc.hbrBackground = background;
    wc.lpszClassName = class_name;
    if (!RegisterClassExA(&wc)) return false;
  }
  hwnd_ = CreateWindowExA(ex_style, class_name, title, style, x, y, w, h, parent, nullptr, inst, this);
  return hwnd_ != nullptr;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    LRESULT r = Dispatch(self, hwnd, msg, wp, lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return r;
  }
  return Dispatch(self, hwnd, msg, wp, lp);
}

LRESULT Window::Dispatch(Window* self, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // No exception may unwind through the system's code that called us: a
  // handler that throws (say, out of memory) has done nothing more for this
  // message, and the window goes on with the next one.
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (...) {
    TraceCaughtException("a window procedure");
    if (msg == WM_PAINT) ValidateRect(hwnd, nullptr);  // or it is asked again at once
    return 0;
  }
}
