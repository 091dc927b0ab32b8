#include "settings_dialog/frm_properties.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <uxtheme.h>

#include "resource.h"
#include "shared/do_events.h"
#include "shared/files.h"
#include "download/code_entry.h"
#include "download/frm_visualizations.h"
#include "site/site_url.h"

namespace {
constexpr UINT_PTR kTimer1 = 1;
const char* const kTabCaptions[3] = {"&Visualisation", "So&und", "&About"};
constexpr int kPageTemplates[3] = {IDD_PROPPAGE_VISUALISATION, IDD_PROPPAGE_SOUND, IDD_PROPPAGE_ABOUT};
constexpr int kPreviewFrames[4] = {IDR_PREVICON0, IDR_PREVICON1, IDR_PREVICON2, IDR_PREVICON3};

PropId IdOf(PropControl c) {
  switch (c) {
    case PropControl::LbAbout: return PropId::LbAbout;
    case PropControl::LbVisit: return PropId::LbVisit;
    case PropControl::List1: return PropId::List1;
    case PropControl::ChkBackground: return PropId::ChkBackground;
    case PropControl::ChkSound: return PropId::ChkSound;
    case PropControl::LstMidi: return PropId::LstMidi;
    case PropControl::ChkRandom: return PropId::ChkRandom;
    case PropControl::ChkExisting: return PropId::ChkExisting;
    case PropControl::TxtCustom: return PropId::TxtCustom;
    case PropControl::BtCustom: return PropId::BtCustom;
    case PropControl::BtPlay: return PropId::BtPlay;
    case PropControl::BtStop: return PropId::BtStop;
  }
  return PropId::List1;
}

bool Themed() { return IsThemeActive() && IsAppThemed(); }
}  // namespace

FrmProperties::FrmProperties()
    : SkinnedDialog(IDD_FRMPROPERTIES),
      music_host_(
          [this](unsigned ms) {
            if (!hwnd()) return;
            if (ms == 0) KillTimer(hwnd(), kTimer1);
            else SetTimer(hwnd(), kTimer1, ms, nullptr);
          },
          [] { ::DoEvents(); }),
      music_(music_host_),
      logic_(*this, settings_, music_,
             {"(C) 2006 the QrvSaver2006 developers",
              std::string("Contact: ") + kContactAddress, std::string(kSiteUrl) + "/"}),
      pages_{{*this, kPageTemplates[0]}, {*this, kPageTemplates[1]}, {*this, kPageTemplates[2]}} {}

FrmProperties::~FrmProperties() = default;

void FrmProperties::ScaledPicture::Draw(HDC dc, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (source.empty() || w <= 0 || h <= 0) return;
  if (scaled.width != w || scaled.height != h) scaled = ScalePictureSmooth(source, w, h);
  DrawPicture(dc, scaled, r.left, r.top);
}

HWND FrmProperties::Ctl(PropId id) const {
  if (HWND h = Item(id)) return h;
  for (const Page& p : pages_)
    if (HWND h = p.hwnd() ? p.Item(id) : nullptr) return h;
  return nullptr;
}

HWND FrmProperties::Ctl(PropControl control) const { return Ctl(IdOf(control)); }

bool FrmProperties::OnInit() {
  InitSkin();
  background_.source = DialogBackground();
  banner_.source = LoadPictureResource(IDR_BANNER);
  about_.source = LoadPictureResource(IDR_ABOUT);
  for (int i = 0; i < 4; ++i) frames_[i].source = LoadPictureResource(kPreviewFrames[i]);

  HINSTANCE inst = GetModuleHandleA(nullptr);
  icon_big_.reset(static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  icon_small_.reset(static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_big_.get()));
  SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_small_.get()));

  HWND tab = Ctl(PropId::SSTab1);
  for (int i = 0; i < 3; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(kTabCaptions[i]);
    SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  for (Page& p : pages_) {
    if (!p.Create(hwnd())) {  // a dialog without its pages cannot work: end as if it had not opened
      End(-1);
      return false;
    }
    EnableThemeDialogTexture(p.hwnd(), ETDT_ENABLETAB);
  }
  PlacePages();
  ShowPage(0);

  // The controls as designed: the song titles, Enable Sound ticked, no file.
  for (const char* title : kLstMidiTitles)
    SendMessageA(Ctl(PropId::LstMidi), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
  SendMessageA(Ctl(PropId::ChkSound), BM_SETCHECK, BST_CHECKED, 0);
  SetWindowTextA(Ctl(PropId::TxtCustom), kNoFileSelected);
  SetUpFonts();
  SetUpTooltips();

  logic_.Form_Load();
  return true;
}

void FrmProperties::PlacePages() {
  HWND tab = Ctl(PropId::SSTab1);
  RECT r;
  GetClientRect(tab, &r);
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  MapWindowPoints(tab, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  // Right above the tab control in the Z order, so Tab reaches a page's
  // controls right after the tabs.
  for (Page& p : pages_)
    SetWindowPos(p.hwnd(), tab, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
}

void FrmProperties::ShowPage(int tab) {
  HWND focus = GetFocus();
  for (int i = 0; i < 3; ++i) {
    if (i == tab) continue;
    if (focus && IsChild(pages_[i].hwnd(), focus)) SetFocus(Ctl(PropId::SSTab1));
    ShowWindow(pages_[i].hwnd(), SW_HIDE);
  }
  ShowWindow(pages_[tab].hwnd(), SW_SHOWNA);
}

void FrmProperties::SelectTab(int tab) {
  SendMessageA(Ctl(PropId::SSTab1), TCM_SETCURSEL, tab, 0);
  ShowPage(tab);
}

// Made again after a DPI change: a new font is handed to its control before
// the old one is deleted.
void FrmProperties::SetUpFonts() {
  LOGFONTA lf{};
  lf.lfHeight = -PointsToPixels(8);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynA(lf.lfFaceName, "Tahoma", LF_FACESIZE);
  ScopedFont label1(CreateFontIndirectA(&lf));
  SendMessageA(Ctl(PropId::Label1), WM_SETFONT, reinterpret_cast<WPARAM>(label1.get()), FALSE);
  label1_font_ = std::move(label1);
  // The link: the dialog's own font, underlined.
  HFONT dialog_font = DialogFont();
  LOGFONTA link{};
  if (dialog_font && GetObjectA(dialog_font, sizeof link, &link)) {
    link.lfUnderline = TRUE;
    ScopedFont underlined(CreateFontIndirectA(&link));
    SendMessageA(Ctl(PropId::LbVisit), WM_SETFONT, reinterpret_cast<WPARAM>(underlined.get()), FALSE);
    link_font_ = std::move(underlined);
  }
}

void FrmProperties::OnDpiChanged(int /*old_dpi*/, int /*new_dpi*/) {
  SetUpFonts();
  PlacePages();
}

void FrmProperties::SetUpTooltips() {
  static const struct {
    PropId id;
    const char* text;
  } kTips[] = {
      {PropId::Command3, "Save and exit"},
      {PropId::Command1, "Exit"},
      {PropId::Command2, "Get more visualisations"},
      {PropId::ChkBackground, "Set wallpaper as screensaver background"},
      {PropId::ChkSound, "Play a sound when the screensaver is running"},
      {PropId::LstMidi, "Double click to play a sequence"},
      {PropId::ChkRandom, "Play a random sequence"},
      {PropId::TxtCustom, "Selected song"},
      {PropId::BtCustom, "Open a mp3 or wav song"},
      {PropId::BtPlay, "Preview the music"},
      {PropId::BtStop, "Stop the music"},
      {PropId::LbVisit, "Visit the website"},
  };
  for (const auto& t : kTips) AddTooltip(Ctl(t.id), t.text);
}

void FrmProperties::OnCommand(int id, int code) {
  switch (static_cast<PropId>(id)) {
    case PropId::Command3:
      if (code == BN_CLICKED) logic_.Command3_Click();
      return;
    case PropId::Command1:
      if (code == BN_CLICKED) logic_.Command1_Click();
      return;
    case PropId::Command2:
      if (code == BN_CLICKED) Command2_Click();
      return;
    case PropId::ChkSound:
      if (code == BN_CLICKED) logic_.ChkSound_Click();
      return;
    case PropId::ChkExisting:
      if (code == BN_CLICKED) logic_.ChkExisting_Click();
      return;
    case PropId::BtCustom:
      if (code == BN_CLICKED) logic_.BtCustom_Click();
      return;
    case PropId::BtPlay:
      if (code == BN_CLICKED) logic_.BtPlay_Click();
      return;
    case PropId::BtStop:
      if (code == BN_CLICKED) logic_.BtStop_Click();
      return;
    case PropId::LstMidi:
      if (code == LBN_DBLCLK) logic_.LstMidi_DblClick();
      return;
    case PropId::LbVisit:
      if (code == STN_CLICKED) logic_.LbVisit_Click();
      return;
    default:
      break;
  }
  if (id == IDCANCEL) logic_.Command1_Click();  // Esc is Close
}

LRESULT FrmProperties::OnNotify(int id, NMHDR* header) {
  if (id == IDC_SSTAB1 && header->code == TCN_SELCHANGE)
    ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
  return 0;
}

void FrmProperties::OnTimer(UINT_PTR id) {
  if (id == kTimer1) logic_.Timer1_Timer();
}

void FrmProperties::OnClose() { logic_.Form_Unload(); }

bool FrmProperties::PreTranslateMessage(MSG& msg) {
  const int current = static_cast<int>(SendMessageA(Ctl(PropId::SSTab1), TCM_GETCURSEL, 0, 0));
  if (msg.message == WM_KEYDOWN && GetKeyState(VK_CONTROL) < 0 &&
      (msg.wParam == VK_TAB || msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR)) {
    const bool back = msg.wParam == VK_PRIOR || (msg.wParam == VK_TAB && GetKeyState(VK_SHIFT) < 0);
    SelectTab((current + (back ? 2 : 1)) % 3);
    return true;
  }
  if (msg.message == WM_SYSCHAR) {
    // The tabs' access keys. "&About" shares its key with "&Accept": the
    // first press shows the About tab, a press on it goes to the button.
    char c = static_cast<char>(msg.wParam);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const int tab = c == 'v' ? 0 : c == 'u' ? 1 : (c == 'a' && current != 2) ? 2 : -1;
    if (tab >= 0) {
      SelectTab(tab);
      SetFocus(Ctl(PropId::SSTab1));
      return true;
    }
  }
  return false;
}

INT_PTR FrmProperties::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  handled = true;
  switch (msg) {
    case WM_ERASEBKGND:
      if (reinterpret_cast<HWND>(WindowFromDC(reinterpret_cast<HDC>(wp))) == hwnd()) {
        // The form's picture at its own size (scaled for the display's DPI),
        // from the top-left corner.
        RECT client;
        GetClientRect(hwnd(), &client);
        const int dpi = Dpi();
        RECT pic{0, 0, MulDiv(background_.source.width, dpi, 96), MulDiv(background_.source.height, dpi, 96)};
        FillRect(reinterpret_cast<HDC>(wp), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        background_.Draw(reinterpret_cast<HDC>(wp), pic);
        return TRUE;
      }
      break;
    case WM_DRAWITEM: {
      const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      switch (static_cast<PropId>(d->CtlID)) {
        case PropId::Image1: banner_.Draw(d->hDC, d->rcItem); return TRUE;
        case PropId::Image2: about_.Draw(d->hDC, d->rcItem); return TRUE;
        case PropId::Img1: frames_[current_frame_].Draw(d->hDC, d->rcItem); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lp) == Ctl(PropId::LbVisit)) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, RGB(0, 0, 238));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(Themed() ? GetStockObject(NULL_BRUSH) : GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      if (hourglass_) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wp) == Ctl(PropId::LbVisit)) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return SkinnedDialog::OnMessage(msg, wp, lp, handled);
}

// --- the view ---------------------------------------------------------------

void FrmProperties::SetCurrentTab(int tab) { SelectTab(tab); }

void FrmProperties::SetCaption(PropControl control, const std::string& text) {
  SetWindowTextA(Ctl(control), text.c_str());
}

std::string FrmProperties::GetCaption(PropControl control) { return WindowText(Ctl(control)); }

int FrmProperties::GetValue(PropControl control) {
  const LRESULT v = SendMessageA(Ctl(control), BM_GETCHECK, 0, 0);
  return v == BST_CHECKED ? kChecked : v == BST_INDETERMINATE ? kGrayed : kUnchecked;
}

void FrmProperties::SetValue(PropControl control, int value) {
  SendMessageA(Ctl(control), BM_SETCHECK,
               value == kChecked ? BST_CHECKED : value == kGrayed ? BST_INDETERMINATE : BST_UNCHECKED, 0);
}

void FrmProperties::SetEnabled(PropControl control, bool enabled) { EnableWindow(Ctl(control), enabled); }

void FrmProperties::ListClear(PropControl list) { SendMessageA(Ctl(list), LB_RESETCONTENT, 0, 0); }

void FrmProperties::ListAdd(PropControl list, const std::string& text) {
  SendMessageA(Ctl(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int FrmProperties::ListCount(PropControl list) {
  return static_cast<int>(SendMessageA(Ctl(list), LB_GETCOUNT, 0, 0));
}

std::string FrmProperties::ListItem(PropControl list, int index) {
  HWND l = Ctl(list);
  const LRESULT n = SendMessageA(l, LB_GETTEXTLEN, index, 0);
  if (n == LB_ERR) return std::string();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(l, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(static_cast<size_t>(n));
  return s;
}

int FrmProperties::ListIndex(PropControl list) {
  const LRESULT i = SendMessageA(Ctl(list), LB_GETCURSEL, 0, 0);
  return i == LB_ERR ? -1 : static_cast<int>(i);
}

void FrmProperties::SetListIndex(PropControl list, int index) { SendMessageA(Ctl(list), LB_SETCURSEL, index, 0); }

std::string FrmProperties::GetText(PropControl control) { return WindowText(Ctl(control)); }

void FrmProperties::SetText(PropControl control, const std::string& text) {
  SetWindowTextA(Ctl(control), text.c_str());
}

std::vector<std::string> FrmProperties::ListFolder(const std::string& folder, const std::string& pattern) {
  return Module1::ListFiles(folder, pattern);
}

std::string FrmProperties::ProgramFolder() { return Module1::ProgramFolder(); }

void FrmProperties::DoEvents() { ::DoEvents(); }

int FrmProperties::MsgBox(const std::string& text, const std::string& title, int style) {
  return MessageBoxA(hwnd(), text.c_str(), title.c_str(), static_cast<UINT>(style));
}

bool FrmProperties::ShowOpen(int flags, const std::string& filter, std::string* file_name) {
  // "Name|pattern|Name|pattern" becomes the NUL-separated, double-NUL-ended list.
  std::string filters = filter;
  for (char& c : filters)
    if (c == '|') c = '\0';
  filters.append(2, '\0');
  char buffer[1024] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = sizeof buffer;
  ofn.Flags = static_cast<DWORD>(flags);
  if (!GetOpenFileNameA(&ofn)) return false;
  *file_name = buffer;
  return true;
}

void FrmProperties::SetHourglass(bool on) {
  hourglass_ = on;
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(on ? IDC_WAIT : IDC_ARROW)));
}

void FrmProperties::ShellOpen(const std::string& file, const std::string& folder) {
  (void)ShellExecuteA(hwnd(), "Open", file.c_str(), "", folder.c_str(), 1);  // the result is not examined
}

void FrmProperties::ShowPreviewFrame(int frame) {
  current_frame_ = frame & 3;
  InvalidateRect(Ctl(PropId::Img1), nullptr, FALSE);
}

void FrmProperties::EndProgram() { ExitProcess(0); }

int ShowFrmProperties(HWND owner) {
  FrmProperties form;
  form.DoModal(owner);
  return 1;  // only reached when the dialog could not be made: closing it ends the process
}

// The code form runs the download; once it is gone, the list is rebuilt
// with its result.
void FrmProperties::Command2_Click() {
  const std::string decoded = ShowFrmVisualizations(hwnd());
  if (!decoded.empty()) logic_.VisualisationDownloaded(decoded);
}
