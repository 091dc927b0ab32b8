#include "shared/message_pump.h"

#include "shared/dialog.h"

void DispatchThreadMessage(MSG& msg) {
  if (Dialog* dialog = Dialog::FromWindow(msg.hwnd)) {
    if (dialog->PreTranslateMessage(msg)) return;
    if (dialog->hwnd() && IsDialogMessageA(dialog->hwnd(), &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

int RunMessageLoop(const std::function<bool()>& done) {
  MSG msg;
  for (;;) {
    if (done && done()) return -1;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      const int code = got == 0 ? static_cast<int>(msg.wParam) : 1;
      if (done) PostQuitMessage(code);
      return code;
    }
    DispatchThreadMessage(msg);
  }
}
