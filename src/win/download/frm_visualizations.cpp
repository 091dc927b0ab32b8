#include "download/frm_visualizations.h"

#include <commctrl.h>
#include <shellapi.h>

#include "download/browser_host.h"
#include "download/code_entry.h"
#include "download/frm_download.h"
#include "frm_properties_ids.h"
#include "resource.h"
#include "shared/files.h"
#include "shared/trace.h"
#include "site/site_url.h"

namespace {

constexpr int kLinkTitle = IDC_VIS_LINK + 10, kLinkText = IDC_VIS_LINK + 11;
constexpr COLORREF kPanel = RGB(246, 244, 255);

}  // namespace

std::string FrmVisualizations::CatalogueUrl() { return std::string(kSiteUrl) + "/VelmaraScreensaver/"; }

std::string ShowFrmVisualizations(HWND owner) {
  FrmVisualizations form;
  form.DoModal(owner);
  return form.Decoded();
}

FrmVisualizations::FrmVisualizations() : SkinnedDialog(IDD_VISUALIZATIONS), logic_(*this, kSiteUrl) {}
FrmVisualizations::~FrmVisualizations() = default;

// Text1: digits and backspace only from the keyboard (a paste shortcut
// arrives as a character too, and is swallowed); the clipboard's code comes
// in when the box gets the focus.
LRESULT CALLBACK FrmVisualizations::Text1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  // No exception may unwind through the system's code that called us.
  try {
    return Text1Message(h, msg, wp, lp, reinterpret_cast<FrmVisualizations*>(ref));
  } catch (...) {
    TraceCaughtException("the code box's procedure");
    return 0;
  }
}

LRESULT FrmVisualizations::Text1Message(HWND h, UINT msg, WPARAM wp, LPARAM lp, FrmVisualizations* form) {
  if (msg == WM_CHAR) {
    const int key = download::FilterCodeKey(static_cast<int>(wp));
    if (key == 0) return 0;
    wp = static_cast<WPARAM>(key);
  }
  if (msg == WM_PASTE) return 0;
  const LRESULT r = DefSubclassProc(h, msg, wp, lp);
  if (msg == WM_SETFOCUS) form->logic_.Text1_GotFocus();
  return r;
}

bool FrmVisualizations::OnInit() {
  Form_Load();
  return true;
}

void FrmVisualizations::OnCommand(int id, int /*code*/) {
  switch (id) {
    case IDC_VIS_COMMAND1:
    case IDOK:
      logic_.Command1_Click();
      break;
    case IDC_VIS_COMMAND2:
    case IDCANCEL:
      End(0);
      break;
    default:
      break;
  }
}

LRESULT FrmVisualizations::OnNotify(int id, NMHDR* header) {
  if (id == IDC_VIS_LINK && (header->code == NM_CLICK || header->code == NM_RETURN))
    ShellExecuteA(hwnd(), "open", CatalogueUrl().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return 0;
}

INT_PTR FrmVisualizations::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  handled = true;
  switch (msg) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wp));
      return 1;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (id == kLinkTitle || id == kLinkText || id == IDC_VIS_LINK) {
        SetBkColor(dc, kPanel);
        SetTextColor(dc, RGB(27, 16, 56));
        return reinterpret_cast<INT_PTR>(panel_brush_.get());
      }
      return LabelOverPicture(dc);
    }
    default:
      return SkinnedDialog::OnMessage(msg, wp, lp, handled);
  }
}

// The picture stretched over the whole form, and the link's panel on it.
void FrmVisualizations::PaintBackground(HDC dc) {
  RECT rc;
  GetClientRect(hwnd(), &rc);
  const Picture& background = DialogBackground();
  if (background.empty()) FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawPictureStretched(dc, background, rc);
  if (!link_shown_) return;
  const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(122, 77, 255)));
  const Selection use_pen(dc, pen.get());
  const Selection use_brush(dc, panel_brush_.get());
  RoundRect(dc, panel_.left, panel_.top, panel_.right, panel_.bottom, 12, 12);
}

void FrmVisualizations::Form_Load() {
  InitSkin();
  panel_brush_.reset(CreateSolidBrush(kPanel));
  SetWindowSubclass(GetDlgItem(hwnd(), IDC_VIS_TEXT1), &Text1Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  CreateBrowserOrLink();
}

void FrmVisualizations::CreateBrowserOrLink() {
  const std::string url = CatalogueUrl();
  HINSTANCE inst = GetModuleHandleA(nullptr);
  // The browser control draws its pages with the system's HTML engine; where
  // that engine is missing (Wine without it) the control would stay blank.
  // It is kept to the site's own pages (see browser_host.h).
  if (HMODULE engine = LoadLibraryA("mshtml.dll")) {
    FreeLibrary(engine);
    browser_ = browser_host::CreateSiteBrowser(hwnd(), IDC_VIS_BROWSER, kSiteUrl, url);
  }
  if (!browser_) {
    // The page in the user's own browser, offered as a panel of its own.
    link_shown_ = true;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    CreateWindowExA(0, "STATIC", "Visualisation catalogue", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkTitle)), inst, nullptr);
    CreateWindowExA(
        0, "STATIC",
        "The catalogue shows every visualisation with a picture and its download code. It opens in your web "
        "browser. Choose one there, then type or copy its code into the box below and press Ok.",
        WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkText)), inst,
        nullptr);
    const std::string markup = "<a href=\"" + url + "\">Open the catalogue: " + url + "</a>";
    CreateWindowExA(0, "SysLink", markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, hwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIS_LINK)), inst, nullptr);
  }
  PlaceBrowserOrLink();
}

void FrmVisualizations::PlaceBrowserOrLink() {
  RECT area{};
  GetWindowRect(Item(IDC_VIS_PANEL), &area);
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
  const int x = area.left, y = area.top, w = area.right - area.left, h = area.bottom - area.top;
  // The panel's own spacing, in pixels at 96 DPI.
  auto px = [this](int pixels96) { return MulDiv(pixels96, Dpi(), 96); };
  if (browser_) {
    MoveWindow(browser_, x, y, w, h, FALSE);
    return;
  }
  panel_ = RECT{x, y, x + w, y + h};
  HFONT dialog_font = DialogFont();
  LOGFONTA lf{};
  GetObjectA(dialog_font, sizeof lf, &lf);
  lf.lfHeight = -PointsToPixels(14);
  lf.lfWeight = FW_BOLD;
  ScopedFont title_font(CreateFontIndirectA(&lf));
  const int pad = px(24);
  HWND title = Item(kLinkTitle), text = Item(kLinkText), link = Item(IDC_VIS_LINK);
  MoveWindow(title, x + pad, y + pad, w - 2 * pad, px(28), FALSE);
  SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(title_font.get()), TRUE);
  title_font_ = std::move(title_font);  // the old one goes once the title no longer uses it
  MoveWindow(text, x + pad, y + pad + px(40), w - 2 * pad, px(60), FALSE);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font), TRUE);
  MoveWindow(link, x + pad, y + pad + px(110), w - 2 * pad, px(20), FALSE);
  SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font), TRUE);
}

void FrmVisualizations::OnDpiChanged(int /*old_dpi*/, int /*new_dpi*/) {
  PlaceBrowserOrLink();
}

// --- the view ---------------------------------------------------------------

std::string FrmVisualizations::CodeText() { return WindowText(Item(IDC_VIS_TEXT1)); }

void FrmVisualizations::SetCodeText(const std::string& text) { SetWindowTextA(Item(IDC_VIS_TEXT1), text.c_str()); }

void FrmVisualizations::SelectCode(size_t length) {
  SendMessageA(Item(IDC_VIS_TEXT1), EM_SETSEL, 0, static_cast<LPARAM>(length));
}

bool FrmVisualizations::ClipboardText(std::string* text) {
  if (!IsClipboardFormatAvailable(CF_TEXT)) return false;
  const ClipboardOpen clipboard(hwnd());
  HANDLE data = clipboard ? GetClipboardData(CF_TEXT) : nullptr;
  const GlobalLockGuard lock(data);
  const char* p = static_cast<const char*>(lock.get());
  if (!p) return false;
  text->assign(p, strnlen(p, GlobalSize(data)));
  return true;
}

void FrmVisualizations::SetDecoded(const std::string& name) { SetDlgItemTextA(hwnd(), IDC_VIS_LABEL1, name.c_str()); }

int FrmVisualizations::MsgBox(const std::string& text, const std::string& title, int style) {
  return MessageBoxA(hwnd(), text.c_str(), title.c_str(), static_cast<UINT>(style));
}

bool FrmVisualizations::FileExists(const std::string& path) { return Module1::FileExists(path); }

std::string FrmVisualizations::ProgramFolder() { return Module1::ProgramFolder(); }

void FrmVisualizations::ShowDownload(const download::DownloadRequest& request) { ShowFrmDownload(hwnd(), request); }

void FrmVisualizations::Close() { End(0); }
