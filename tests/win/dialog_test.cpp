// The dialog base on real dialogs: this kept in DWLP_USER, the keyboard of
// the one message pump (Esc, Enter, access keys, Tab into a child page),
// modal runs that end on End or on WM_QUIT, and the scoped GDI handles.
#include "shared/dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "dialog_test_ids.h"
#include "shared/handles.h"
#include "shared/message_pump.h"
#include "shared/skinned_dialog.h"
#include "shared/window.h"

namespace {

class Page : public Dialog {
 public:
  Page() : Dialog(IDD_TEST_PAGE) {}
};

// Runs `step` on a 10 ms timer once the dialog is up, one step per tick,
// and records every command.
class TestDialog : public Dialog {
 public:
  TestDialog() : Dialog(IDD_TEST_MAIN) {}
  std::vector<std::function<void(TestDialog&)>> steps;
  std::vector<int> commands;
  bool user_data_ok = false;
  bool with_page = false;
  bool go_throws = false;
  Page page;

 protected:
  bool OnInit() override {
    user_data_ok = GetWindowLongPtrA(hwnd(), DWLP_USER) == reinterpret_cast<LONG_PTR>(this);
    if (with_page && page.Create(hwnd())) SetWindowPos(page.hwnd(), nullptr, 10, 40, 300, 60, SWP_NOZORDER | SWP_SHOWWINDOW);
    SetTimer(hwnd(), 1, 10, nullptr);
    return true;
  }
  void OnTimer(UINT_PTR) override {
    if (next_ < steps.size()) steps[next_++](*this);
    else End(-2);  // ran out of steps without ending
  }
  void OnCommand(int id, int code) override {
    if (code != BN_CLICKED && id != IDOK && id != IDCANCEL) return;
    if (id == IDC_TEST_GO && go_throws) throw std::runtime_error("go failed");
    commands.push_back(id);
    if (id == IDOK || id == IDCANCEL) End(id);
  }

 private:
  size_t next_ = 0;
};

void Key(HWND to, UINT msg, WPARAM key) { PostMessageA(to, msg, key, msg == WM_SYSCHAR ? (1 << 29) : 0); }

// Collects what OutputDebugStringA writes while it lives: the platform
// raises the text as an exception that a vectored handler sees first.
class DebugOutput {
 public:
  DebugOutput() {
    lines().clear();
    handler_ = AddVectoredExceptionHandler(1, &Seen);
  }
  ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
  std::string All() const {
    std::string all;
    for (const std::string& l : lines()) all += l;
    return all;
  }

 private:
  static std::vector<std::string>& lines() {
    static std::vector<std::string> l;
    return l;
  }
  static LONG CALLBACK Seen(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD* r = e->ExceptionRecord;
    if (r->ExceptionCode != DBG_PRINTEXCEPTION_C || r->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    lines().emplace_back(reinterpret_cast<const char*>(r->ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  void* handler_;
};

// A plain window whose handler throws on WM_USER.
class ThrowingWindow : public Window {
 public:
  bool Open() { return CreateWin("QrvThrowingWindow", 0, WS_POPUP, "", 0, 0, 10, 10, nullptr, nullptr); }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_USER) throw std::bad_alloc();
    if (msg == WM_USER + 1) return 7;
    return Window::HandleMessage(msg, wp, lp);
  }
};

}  // namespace

TEST(DialogBase, EscEndsWithCancelThroughThePump) {
  TestDialog d;
  d.steps = {[](TestDialog& t) { Key(t.Item(IDC_TEST_EDIT), WM_KEYDOWN, VK_ESCAPE); }};
  EXPECT_EQ(d.DoModal(nullptr), IDCANCEL);
  EXPECT_TRUE(d.user_data_ok);
  EXPECT_EQ(d.commands, std::vector<int>{IDCANCEL});
  EXPECT_EQ(d.hwnd(), nullptr);
}

TEST(DialogBase, EnterPressesTheDefaultButtonAndAccessKeysTheirs) {
  TestDialog d;
  d.steps = {[](TestDialog& t) { Key(t.Item(IDC_TEST_EDIT), WM_SYSCHAR, 'g'); },
             [](TestDialog& t) { Key(t.Item(IDC_TEST_EDIT), WM_KEYDOWN, VK_RETURN); }};
  EXPECT_EQ(d.DoModal(nullptr), IDOK);
  EXPECT_EQ(d.commands, (std::vector<int>{IDC_TEST_GO, IDOK}));
}

TEST(DialogBase, TabMovesIntoAChildPage) {
  TestDialog d;
  d.with_page = true;
  int focus_id = 0;
  bool in_page = false;
  d.steps = {[](TestDialog& t) { SetFocus(t.Item(IDCANCEL)); },
             [](TestDialog&) { Key(GetFocus(), WM_KEYDOWN, VK_TAB); },
             [&](TestDialog& t) {
               focus_id = GetDlgCtrlID(GetFocus());
               in_page = GetParent(GetFocus()) == t.page.hwnd();
               t.End(IDOK);
             }};
  EXPECT_EQ(d.DoModal(nullptr), IDOK);
  EXPECT_EQ(focus_id, IDC_TEST_PAGE_EDIT);
  EXPECT_TRUE(in_page);
}

TEST(DialogBase, QuitEndsAModalRunAndStaysForTheOuterLoop) {
  TestDialog d;
  d.steps = {[](TestDialog&) { PostQuitMessage(3); }};
  d.DoModal(nullptr);
  EXPECT_EQ(d.hwnd(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

// A handler that throws ends that message only: the dialog goes on with the
// next one, and the debug output says what was caught.
TEST(DialogBase, AnExceptionInAHandlerLeavesATraceAndTheDialogGoesOn) {
  DebugOutput out;
  TestDialog d;
  d.go_throws = true;
  d.steps = {[](TestDialog& t) { SendMessageA(t.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_GO, BN_CLICKED), 0); },
             [](TestDialog& t) { Key(t.Item(IDC_TEST_EDIT), WM_KEYDOWN, VK_ESCAPE); }};
  EXPECT_EQ(d.DoModal(nullptr), IDCANCEL);
  EXPECT_EQ(d.commands, std::vector<int>{IDCANCEL});
  EXPECT_NE(out.All().find("a dialog procedure caught go failed"), std::string::npos) << out.All();
}

TEST(WindowBase, AnExceptionInAHandlerLeavesATraceAndTheWindowGoesOn) {
  DebugOutput out;
  ThrowingWindow w;
  ASSERT_TRUE(w.Open());
  EXPECT_EQ(SendMessageA(w.hwnd(), WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessageA(w.hwnd(), WM_USER + 1, 0, 0), 7);
  EXPECT_NE(out.All().find("a window procedure caught std::bad_alloc"), std::string::npos) << out.All();
}

TEST(DialogBase, CreateFailsCleanlyForAMissingTemplate) {
  Dialog missing(12345);
  EXPECT_EQ(missing.DoModal(nullptr), -1);
  EXPECT_EQ(missing.hwnd(), nullptr);
}

TEST(ScopedHandles, SelectionPutsThePreviousObjectBack) {
  WindowDc screen(nullptr);
  ASSERT_TRUE(screen);
  MemoryDc mem(CreateCompatibleDC(screen.get()));
  ASSERT_TRUE(mem);
  const HGDIOBJ before = GetCurrentObject(mem.get(), OBJ_BITMAP);
  ScopedBitmap bmp(CreateCompatibleBitmap(screen.get(), 4, 4));
  ASSERT_TRUE(bmp);
  {
    Selection in(mem.get(), bmp.get());
    EXPECT_TRUE(in);
    EXPECT_EQ(GetCurrentObject(mem.get(), OBJ_BITMAP), bmp.get());
  }
  EXPECT_EQ(GetCurrentObject(mem.get(), OBJ_BITMAP), before);
  // Released exactly once: after reset the handle is no GDI object any more.
  HBITMAP raw = bmp.get();
  bmp.reset();
  EXPECT_EQ(GetObjectType(raw), 0u);
  ScopedBitmap moved(CreateCompatibleBitmap(screen.get(), 2, 2));
  ScopedBitmap target(std::move(moved));
  EXPECT_FALSE(moved);
  EXPECT_TRUE(target);
}

// The owners of the other handle kinds give back what they took, once, on
// every path; a predefined root key is held but never closed.
TEST(ScopedHandles, FilesKeysSearchesAndTheClipboardAreReleased) {
  char temp_dir[MAX_PATH], path[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, temp_dir), 0u);
  ASSERT_NE(GetTempFileNameA(temp_dir, "qsh", 0, path), 0u);
  {
    FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    const HANDLE raw = file.get();
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    FileHandle failed(CreateFileA("Z:\\no\\such\\folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);
    EXPECT_TRUE(failed.Close());  // nothing to close is no failure
  }
  {
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA(path, &found));
    ASSERT_TRUE(search);
    const HANDLE raw = search.get();
    search.reset();
    EXPECT_FALSE(FindNextFileA(raw, &found));
  }
  DeleteFileA(path);
  {
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &opened), ERROR_SUCCESS);
    KeyHandle key(opened);
    key.reset();
    DWORD subkeys = 0;
    EXPECT_NE(RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    KeyHandle root(HKEY_CURRENT_USER);
    EXPECT_TRUE(root.Close());
    EXPECT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
  }
  // An exception while the clipboard is open leaves it closed.
  ThrowingWindow owner;
  ASSERT_TRUE(owner.Open());
  bool was_open = false;
  try {
    const ClipboardOpen clipboard(owner.hwnd());
    was_open = clipboard && GetOpenClipboardWindow() == owner.hwnd();
    throw std::runtime_error("while the clipboard was open");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(was_open);
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
}

namespace {
// A skinned dialog on the test template, shown without a modal run.
class SkinnedTestDialog : public SkinnedDialog {
 public:
  SkinnedTestDialog() : SkinnedDialog(IDD_TEST_MAIN) {}
  std::vector<std::pair<int, int>> changes;

 protected:
  bool OnInit() override {
    InitSkin();
    return true;
  }
  void OnDpiChanged(int old_dpi, int new_dpi) override { changes.emplace_back(old_dpi, new_dpi); }
};

RECT PlaceIn(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int FontHeight(HWND w) {
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
}
}  // namespace

// Wine gives every monitor one DPI, so the move to a monitor of another DPI
// is sent as the system would send it: the dialog takes the suggested
// rectangle, its controls grow with the DPI, and so does their font.
TEST(SkinnedDialogDpi, DpiChangeMovesToTheSuggestedRectangleAndScalesControlsAndFont) {
  SkinnedTestDialog d;
  ASSERT_TRUE(d.Create(nullptr));
  const int dpi = d.Dpi();
  EXPECT_EQ(dpi, WindowDpi(d.hwnd()));
  ASSERT_GT(dpi, 0);
  HWND edit = d.Item(IDC_TEST_EDIT);
  const RECT before = PlaceIn(d.hwnd(), edit);
  const int font_before = FontHeight(edit);
  ASSERT_GT(font_before, 0);
  for (const int factor : {2, 1}) {
    SCOPED_TRACE(factor);
    const int new_dpi = dpi * factor;
    RECT suggested{40, 30, 40 + 300 * factor, 30 + 200 * factor};
    SendMessageA(d.hwnd(), WM_DPICHANGED, MAKEWPARAM(new_dpi, new_dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT now;
    GetWindowRect(d.hwnd(), &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);
    EXPECT_EQ(d.Dpi(), new_dpi);
    const RECT after = PlaceIn(d.hwnd(), edit);
    EXPECT_NEAR(after.left, before.left * factor, 1);
    EXPECT_NEAR(after.top, before.top * factor, 1);
    EXPECT_NEAR(after.right - after.left, (before.right - before.left) * factor, 2);
    EXPECT_NEAR(after.bottom - after.top, (before.bottom - before.top) * factor, 2);
    EXPECT_NEAR(FontHeight(edit), font_before * factor, 1);
    EXPECT_EQ(FontHeight(d.Item(IDOK)), FontHeight(edit));
  }
  EXPECT_EQ(d.changes, (std::vector<std::pair<int, int>>{{dpi, 2 * dpi}, {2 * dpi, dpi}}));
}
