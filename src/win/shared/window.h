#pragma once
#include <windows.h>

// Base of the program's windows: registers a class once, creates the window
// and routes its messages to the virtual HandleMessage of the C++ object.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND hwnd() const { return hwnd_; }

 protected:
  // Registers class_name (once per process) and creates the window.
  bool CreateWin(const char* class_name, DWORD ex_style, DWORD style, const char* title, int x, int y,
                 int w, int h, HWND parent, HBRUSH background);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

 private:
  static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT Dispatch(Window* self, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};
