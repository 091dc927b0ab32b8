#pragma once
// Base of the program's dialogs, built from DIALOGEX templates of the
// resources. The dialog procedure finds the C++ object through DWLP_USER
// (stored at WM_INITDIALOG) and calls its virtual handlers. A dialog runs
// modally on the program's one message pump (DoModal) or stays modeless
// (Create); tab pages are modeless child dialogs (DS_CONTROL | WS_CHILD).
#include <windows.h>

#include <string>

// The whole text of a window or control.
std::string WindowText(HWND window);

class Dialog {
 public:
  explicit Dialog(int template_id) : template_id_(template_id) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();

  // Creates the dialog owned by `owner` (may be nullptr), disables the owner
  // when it belongs to this process, shows the dialog and runs messages until
  // End. Returns End's result, or -1 when the dialog could not be created.
  int DoModal(HWND owner);
  // Creates the dialog without running it: a top-level window owned by
  // `parent`, or a child window of it when the template says WS_CHILD.
  bool Create(HWND parent);
  // Ends a modal run with `result`, or destroys a modeless dialog.
  void End(int result);

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  template <typename Id>
  HWND Item(Id id) const {
    return GetDlgItem(hwnd_, static_cast<int>(id));
  }
  // The dialog that holds `window`, when it is one of ours; else nullptr.
  static Dialog* FromWindow(HWND window);

  // Shows `text` as the tooltip of `control` (a control of this dialog or of
  // any of its pages). The dialog's tooltip window is made on first use.
  void AddTooltip(HWND control, const char* text);

 protected:
  // WM_INITDIALOG. Return true to let the system focus the first control.
  virtual bool OnInit() { return true; }
  // WM_COMMAND from a control, a menu or an accelerator: LOWORD and HIWORD.
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  // WM_NOTIFY; the result goes back through DWLP_MSGRESULT.
  virtual LRESULT OnNotify(int /*id*/, NMHDR* /*header*/) { return 0; }
  virtual void OnTimer(UINT_PTR /*id*/) {}
  // WM_CLOSE (the system's close command). By default ends with IDCANCEL.
  virtual void OnClose() { End(IDCANCEL); }
  // Keyboard shortcuts of the dialog, before IsDialogMessage sees the
  // message. Return true when the message was used.
  virtual bool PreTranslateMessage(MSG& /*msg*/) { return false; }
  // Any other message. Set `handled` and return the message's own result
  // (a brush for WM_CTLCOLOR*, TRUE for WM_SETCURSOR and so on); the base
  // hands it to the dialog manager the way that message needs.
  virtual INT_PTR OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, bool& handled) {
    handled = false;
    return 0;
  }

 private:
  friend void DispatchThreadMessage(MSG& msg);
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR Route(UINT msg, WPARAM wp, LPARAM lp);
  void Forget();

  int template_id_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  bool modal_ = false;
  bool ended_ = false;
  int result_ = 0;
};
