// The dialog base on real dialogs: this kept in DWLP_USER, the keyboard of
// the one message pump (Esc, Enter, access keys, Tab into a child page),
// modal runs that end on End or on WM_QUIT, and the scoped GDI handles.
#include "shared/dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "dialog_test_ids.h"
#include "shared/handles.h"
#include "shared/message_pump.h"

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
    commands.push_back(id);
    if (id == IDOK || id == IDCANCEL) End(id);
  }

 private:
  size_t next_ = 0;
};

void Key(HWND to, UINT msg, WPARAM key) { PostMessageA(to, msg, key, msg == WM_SYSCHAR ? (1 << 29) : 0); }

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
