#include "download/frm_visualizations.h"

#include <commctrl.h>
#include <shellapi.h>

#include "download/code_entry.h"
#include "download/frm_download.h"
#include "frm_properties_ids.h"
#include "resource.h"
#include "shared/files.h"
#include "site/site_url.h"

namespace {

constexpr int kClientW = 7905, kClientH = 4800;
struct Place {
  int id, x, y, w, h;
};
constexpr Place kPlaces[] = {
    {IDC_VIS_LABEL2, 240, 4065, 3600, 255}, {IDC_VIS_TEXT1, 240, 4320, 4095, 285},
    {IDC_VIS_COMMAND1, 4395, 4290, 375, 375}, {IDC_VIS_COMMAND2, 6840, 4305, 975, 375},
    {IDC_VIS_LABEL1, 1800, 4680, 2775, 255},
};
constexpr int kBrowserX = 120, kBrowserY = 120, kBrowserW = 7695, kBrowserH = 3735;
constexpr int kLinkTitle = IDC_VIS_LINK + 10, kLinkText = IDC_VIS_LINK + 11;
constexpr COLORREF kPanel = RGB(246, 244, 255);

using AtlAxWinInitFn = BOOL(WINAPI*)();

}  // namespace

std::string FrmVisualizations::CatalogueUrl() { return std::string(kSiteUrl) + "/VelmaraScreensaver/"; }

void ShowFrmVisualizations(HWND owner, FrmVisualizations::RebuildList rebuild) {
  FrmVisualizations form;
  form.ShowModal(owner, std::move(rebuild));
}

void FrmVisualizations::ShowModal(HWND owner, RebuildList rebuild) {
  rebuild_ = std::move(rebuild);
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VISUALIZATIONS), owner, &StaticProc,
                  reinterpret_cast<LPARAM>(this));
  if (panel_brush_) DeleteObject(panel_brush_);
  if (title_font_) DeleteObject(title_font_);
  panel_brush_ = nullptr;
  title_font_ = nullptr;
}

INT_PTR CALLBACK FrmVisualizations::StaticProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, DWLP_USER, lp);
    reinterpret_cast<FrmVisualizations*>(lp)->dlg_ = dlg;
  }
  auto* self = reinterpret_cast<FrmVisualizations*>(GetWindowLongPtrA(dlg, DWLP_USER));
  return self ? self->Proc(msg, wp, lp) : FALSE;
}

// Text1: digits and backspace only from the keyboard (a paste shortcut
// arrives as a character too, and is swallowed); the clipboard's code comes
// in when the box gets the focus.
LRESULT CALLBACK FrmVisualizations::Text1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  if (msg == WM_CHAR) {
    const int key = download::FilterCodeKey(static_cast<int>(wp));
    if (key == 0) return 0;
    wp = static_cast<WPARAM>(key);
  }
  if (msg == WM_PASTE) return 0;
  const LRESULT r = DefSubclassProc(h, msg, wp, lp);
  if (msg == WM_SETFOCUS) reinterpret_cast<FrmVisualizations*>(ref)->Text1_GotFocus();
  return r;
}

int FrmVisualizations::Px(int twips, bool horizontal) const {
  return MulDiv(twips, horizontal ? dpi_x_ : dpi_y_, 1440);
}

INT_PTR FrmVisualizations::Proc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_VIS_COMMAND1:
        case IDOK:
          Command1_Click();
          return TRUE;
        case IDC_VIS_COMMAND2:
        case IDCANCEL:
          EndDialog(dlg_, 0);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_NOTIFY: {
      const NMHDR* n = reinterpret_cast<const NMHDR*>(lp);
      if (n->idFrom == IDC_VIS_LINK && (n->code == NM_CLICK || n->code == NM_RETURN)) {
        ShellExecuteA(dlg_, "open", CatalogueUrl().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
      }
      return FALSE;
    }
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wp);
      RECT rc;
      GetClientRect(dlg_, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
      if (!background_.empty()) {
        const BITMAPINFO bmi = TopDownBitmapInfo(background_.width, background_.height);
        StretchDIBits(dc, 0, 0, rc.right, rc.bottom, 0, 0, background_.width, background_.height,
                      background_.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
      }
      if (link_shown_) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(122, 77, 255));
        HGDIOBJ old_pen = SelectObject(dc, pen);
        HGDIOBJ old_brush = SelectObject(dc, panel_brush_);
        RoundRect(dc, panel_.left, panel_.top, panel_.right, panel_.bottom, 12, 12);
        SelectObject(dc, old_brush);
        SelectObject(dc, old_pen);
        DeleteObject(pen);
      }
      SetWindowLongPtrA(dlg_, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (id == kLinkTitle || id == kLinkText || id == IDC_VIS_LINK) {
        SetBkColor(dc, kPanel);
        SetTextColor(dc, RGB(27, 16, 56));
        return reinterpret_cast<INT_PTR>(panel_brush_);
      }
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));  // over the dark picture
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    default:
      return FALSE;
  }
}

void FrmVisualizations::Form_Load() {
  HDC screen = GetDC(dlg_);
  dpi_x_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(dlg_, screen);
  RECT r{0, 0, Px(kClientW, true), Px(kClientH, false)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_EXSTYLE)));
  RECT cur;
  GetWindowRect(dlg_, &cur);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(dlg_, nullptr, (cur.left + cur.right - w) / 2, (cur.top + cur.bottom - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  for (const Place& p : kPlaces)
    MoveWindow(GetDlgItem(dlg_, p.id), Px(p.x, true), Px(p.y, false), Px(p.w, true), Px(p.h, false), FALSE);
  background_ = LoadPictureResource(IDR_DIALOG_BG);
  panel_brush_ = CreateSolidBrush(kPanel);
  SetWindowSubclass(GetDlgItem(dlg_, IDC_VIS_TEXT1), &Text1Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  CreateBrowserOrLink();
}

void FrmVisualizations::CreateBrowserOrLink() {
  const int x = Px(kBrowserX, true), y = Px(kBrowserY, false), w = Px(kBrowserW, true), h = Px(kBrowserH, false);
  const std::string url = CatalogueUrl();
  // The browser control draws its pages with the system's HTML engine; where
  // that engine is missing (Wine without it) the control would stay blank.
  if (HMODULE engine = LoadLibraryA("mshtml.dll")) {
    FreeLibrary(engine);
    if (HMODULE atl = LoadLibraryA("atl.dll")) {
      auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
      if (init && init()) {
        browser_ = CreateWindowExA(0, "AtlAxWin", url.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, x, y, w, h, dlg_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIS_BROWSER)),
                                   GetModuleHandleA(nullptr), nullptr);
      }
    }
  }
  if (browser_) return;
  // The page in the user's own browser, offered as a panel of its own.
  link_shown_ = true;
  panel_ = RECT{x, y, x + w, y + h};
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS};
  InitCommonControlsEx(&icc);
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageA(dlg_, WM_GETFONT, 0, 0));
  LOGFONTA lf{};
  GetObjectA(dialog_font, sizeof lf, &lf);
  lf.lfHeight = -MulDiv(14, dpi_y_, 72);
  lf.lfWeight = FW_BOLD;
  title_font_ = CreateFontIndirectA(&lf);
  const int pad = Px(360, true);
  HWND title = CreateWindowExA(0, "STATIC", "Visualisation catalogue", WS_CHILD | WS_VISIBLE, x + pad, y + pad,
                               w - 2 * pad, Px(420, false), dlg_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkTitle)), inst, nullptr);
  SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(title_font_), TRUE);
  HWND text = CreateWindowExA(
      0, "STATIC",
      "The catalogue shows every visualisation with a picture and its download code. It opens in your web "
      "browser. Choose one there, then type or copy its code into the box below and press Ok.",
      WS_CHILD | WS_VISIBLE, x + pad, y + pad + Px(600, false), w - 2 * pad, Px(900, false), dlg_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkText)), inst, nullptr);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font), TRUE);
  const std::string markup = "<a href=\"" + url + "\">Open the catalogue: " + url + "</a>";
  HWND link = CreateWindowExA(0, "SysLink", markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, x + pad,
                              y + pad + Px(1650, false), w - 2 * pad, Px(300, false), dlg_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIS_LINK)), inst, nullptr);
  SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font), TRUE);
}

void FrmVisualizations::Text1_GotFocus() {
  HWND box = GetDlgItem(dlg_, IDC_VIS_TEXT1);
  char current[512] = {};
  GetWindowTextA(box, current, sizeof current);
  bool has_text = false;
  std::string clip;
  if (IsClipboardFormatAvailable(CF_TEXT) && OpenClipboard(dlg_)) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const char* p = static_cast<const char*>(GlobalLock(data))) {
        has_text = true;
        clip.assign(p, strnlen(p, GlobalSize(data)));
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  const std::string text = download::PickUpClipboardCode(has_text, clip, current);
  if (text != current) SetWindowTextA(box, text.c_str());
  SendMessageA(box, EM_SETSEL, 0, static_cast<LPARAM>(text.size()));
}

void FrmVisualizations::Command1_Click() {
  char code[512] = {};
  GetDlgItemTextA(dlg_, IDC_VIS_TEXT1, code, sizeof code);
  if (code[0] == '\0') {
    MessageBoxA(dlg_, "Please enter the code.", "ScreenSaver", MB_ICONERROR);
    return;
  }
  SetDlgItemTextA(dlg_, IDC_VIS_LABEL1, "");
  const std::string name = download::DecodeCode(code);
  SetDlgItemTextA(dlg_, IDC_VIS_LABEL1, name.c_str());
  Module1::DownloadURL = std::string(kSiteUrl) + "/VelmaraScreensaver/DWN/" + name + ".exe";
  Module1::DownloadFile = Module1::ProgramFolder() + "\\QR06V2XLM\\" + name + ".vsi";
  Module1::DownloadSite = kSiteName;
  Module1::DownloadTitle = download::UpperAnsi(name);
  if (Module1::FileExists(Module1::DownloadFile) &&
      MessageBoxA(dlg_, "Visualisation already downloaded, do you want to replace it?", "Download Visualisations",
                  MB_YESNO) == IDNO)
    return;
  ShowFrmDownload(dlg_);
  if (rebuild_) rebuild_(name);
  EndDialog(dlg_, 0);
}
