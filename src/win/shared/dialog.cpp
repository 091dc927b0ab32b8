#include "shared/dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "shared/message_pump.h"
#include "shared/trace.h"

namespace {
// The top-level dialogs that exist now, newest last: the pump looks a
// message's window up here.
std::vector<Dialog*>& LiveDialogs() {
  static std::vector<Dialog*> live;
  return live;
}

bool OwnedByThisProcess(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId();
}
}  // namespace

std::string WindowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  s.resize(static_cast<size_t>(GetWindowTextA(window, &s[0], n + 1)));
  return s;
}

Dialog::~Dialog() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);  // runs Forget through WM_NCDESTROY
  Forget();
}

bool Dialog::Create(HWND parent) {
  if (hwnd_) return true;
  ended_ = false;
  HWND made = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id_), parent,
                                 &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
  if (!made) {
    Forget();
    return false;
  }
  hwnd_ = made;
  if (!(GetWindowLongPtrA(made, GWL_STYLE) & WS_CHILD)) LiveDialogs().push_back(this);
  return true;
}

int Dialog::DoModal(HWND owner) {
  if (owner && !IsWindow(owner)) owner = nullptr;
  if (!Create(owner)) return -1;
  modal_ = true;
  // Like the system's modal dialogs: the owner takes no input meanwhile. A
  // window of another program (the control panel that asked) is only the
  // owner, so that this dialog stays in front of it.
  const bool disable_owner = owner && OwnedByThisProcess(owner) && IsWindowEnabled(owner);
  if (disable_owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  if (!ended_) RunMessageLoop([this] { return ended_; });
  if (disable_owner) EnableWindow(owner, TRUE);
  if (hwnd_) DestroyWindow(hwnd_);
  modal_ = false;
  return result_;
}

void Dialog::End(int result) {
  result_ = result;
  ended_ = true;
  if (!modal_ && hwnd_) DestroyWindow(hwnd_);
  else if (modal_ && hwnd_) PostMessageA(hwnd_, WM_NULL, 0, 0);  // wakes the modal loop
}

Dialog* Dialog::FromWindow(HWND window) {
  if (!window) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  auto& live = LiveDialogs();
  auto it = std::find_if(live.rbegin(), live.rend(), [root](Dialog* d) { return d->hwnd_ == root; });
  return it == live.rend() ? nullptr : *it;
}

void Dialog::AddTooltip(HWND control, const char* text) {
  if (!hwnd_ || !control) return;
  if (!tooltip_) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               GetAncestor(hwnd_, GA_ROOT), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!tooltip_) return;
  }
  TOOLINFOA ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = hwnd_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = const_cast<char*>(text);
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void Dialog::Forget() {
  auto& live = LiveDialogs();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  hwnd_ = nullptr;
  ended_ = true;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Dialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lp);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->Forget();
    return FALSE;
  }
  // No exception may unwind through the system's dialog manager.
  try {
    return self->Route(msg, wp, lp);
  } catch (...) {
    TraceCaughtException("a dialog procedure");
    return FALSE;
  }
}

INT_PTR Dialog::Route(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInit() ? TRUE : FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, OnNotify(static_cast<int>(header->idFrom), header));
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(wp);
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    default: {
      bool handled = false;
      const INT_PTR result = OnMessage(msg, wp, lp, handled);
      if (!handled) return FALSE;
      // These few give their result as the procedure's return value; every
      // other message hands it over through DWLP_MSGRESULT.
      const bool direct = (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM ||
                          msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON;
      if (direct) return result;
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
      return TRUE;
    }
  }
}
