#include "download/frm_download.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "download/code_entry.h"
#include "download/progress_text.h"
#include "movie/lottie_validator.h"
#include "frm_properties_ids.h"
#include "resource.h"
#include "shared/do_events.h"

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr char kTitle[] = "Download Visualisations";

// Client area and control places, in twips (left, top, width, height).
constexpr int kClientW = 4500, kClientH = 2175;
struct Place {
  int id, x, y, w, h;
};
constexpr Place kPlaces[] = {
    {IDC_LB_MENSAJE, 120, 150, 4260, 255},   {IDC_LB_PORCENTAJE, 3600, 750, 750, 255},
    {IDC_LABEL3, 120, 1200, 1500, 240},      {IDC_LB_ELAPSED, 1680, 1200, 1500, 240},
    {IDC_LABEL4, 120, 1440, 1500, 240},      {IDC_LB_REMAINING, 1680, 1440, 1500, 240},
    {IDC_LABEL5, 120, 1680, 1500, 240},      {IDC_LB_RATE, 1680, 1680, 1500, 240},
    {IDCANCEL, 3255, 1620, 1095, 375},
};
// The bar: a white track under a black bar, both at y 600.
constexpr int kBarY = 600, kBarX2 = 120, kTrackEnd = 4350;
constexpr int kTrackWidthPx = 6, kBarWidthPx = 2;

// The movie player's own check: a body that fails it would only replace a
// working visualisation with one that cannot play (a portal's HTML page, a
// cut-off file).
bool IsPlayableMovie(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (bytes.size() > lottie_limits::kMaxBytes) return false;
  return ValidateLottie(bytes).ok;
}

char DecimalSeparator() {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1) return buf[0];
  return '.';
}

}  // namespace

void ShowFrmDownload(HWND owner) {
  FrmDownload form;
  form.ShowModal(owner);
}

void FrmDownload::ShowModal(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD), owner, &FrmDownload::StaticProc,
                  reinterpret_cast<LPARAM>(this));
  if (background_bitmap_) {
    DeleteObject(background_bitmap_);
    background_bitmap_ = nullptr;
  }
}

INT_PTR CALLBACK FrmDownload::StaticProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, DWLP_USER, lp);
    reinterpret_cast<FrmDownload*>(lp)->dlg_ = dlg;
  }
  auto* self = reinterpret_cast<FrmDownload*>(GetWindowLongPtrA(dlg, DWLP_USER));
  return self ? self->Proc(msg, wp, lp) : FALSE;
}

INT_PTR FrmDownload::Proc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;
    case WM_TIMER:
      if (wp == kTimer1) Timer1_Timer();
      return TRUE;
    case WM_COMMAND:
      // The Cancel button, Esc and the title bar's close button all cancel;
      // the dialog closes itself once the download has ended.
      if (LOWORD(wp) == IDCANCEL) Command1_Click();
      return TRUE;
    case WM_CLOSE:
      Command1_Click();
      return TRUE;
    case WM_ERASEBKGND: {
      Paint(reinterpret_cast<HDC>(wp));
      SetWindowLongPtrA(dlg_, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(dlg_, &ps);
      if (ps.fErase) Paint(dc);
      // The bar lies over the background: draw it again on every paint.
      HPEN track = CreatePen(PS_SOLID, kTrackWidthPx, RGB(255, 255, 255));
      HPEN bar = CreatePen(PS_SOLID, kBarWidthPx, RGB(0, 0, 0));
      HGDIOBJ old = SelectObject(dc, track);
      MoveToEx(dc, Px(kBarX2, true), Px(kBarY, false), nullptr);
      LineTo(dc, Px(kTrackEnd, true), Px(kBarY, false));
      SelectObject(dc, bar);
      if (line1_x1_ > kBarX2) {
        MoveToEx(dc, Px(kBarX2, true), Px(kBarY, false), nullptr);
        LineTo(dc, Px(line1_x1_, true), Px(kBarY, false));
      }
      SelectObject(dc, old);
      DeleteObject(bar);
      DeleteObject(track);
      EndPaint(dlg_, &ps);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      // Labels are transparent over the background picture.
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));  // the picture is dark
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    case WM_DESTROY:
      KillTimer(dlg_, kTimer1);
      return FALSE;
    default:
      (void)lp;
      return FALSE;
  }
}

int FrmDownload::Px(int twips, bool horizontal) const {
  return MulDiv(twips, horizontal ? dpi_x_ : dpi_y_, 1440);
}

void FrmDownload::Layout() {
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
  const int cx = (cur.left + cur.right) / 2, cy = (cur.top + cur.bottom) / 2;
  SetWindowPos(dlg_, nullptr, cx - w / 2, cy - h / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const Place& p : kPlaces) {
    MoveWindow(GetDlgItem(dlg_, p.id), Px(p.x, true), Px(p.y, false), Px(p.w, true), Px(p.h, false), FALSE);
  }
}

void FrmDownload::Paint(HDC dc) {
  RECT rc;
  GetClientRect(dlg_, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  if (background_.empty()) return;
  // The settings dialog's picture at its own size: this dialog shows its
  // top left part.
  const BITMAPINFO bmi = TopDownBitmapInfo(background_.width, background_.height);
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(background_.width), static_cast<DWORD>(background_.height), 0, 0,
                    0, static_cast<UINT>(background_.height), background_.pixels.data(), &bmi, DIB_RGB_COLORS);
}

void FrmDownload::SetLabel(int id, const std::string& text) {
  HWND label = GetDlgItem(dlg_, id);
  char current[256] = {};
  GetWindowTextA(label, current, sizeof current);
  if (text == current) return;  // an unchanged text costs nothing
  SetWindowTextA(label, text.c_str());
  // A transparent label does not clear its old text: repaint the background
  // under it, then the label over it, in that order and at once.
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(dlg_, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_ERASENOW | RDW_UPDATENOW);
}

void FrmDownload::SetBarEnd(int x1_twips) {
  if (x1_twips == line1_x1_) return;
  const int lo = std::min(x1_twips, line1_x1_), hi = std::max(x1_twips, line1_x1_);
  line1_x1_ = x1_twips;
  const int pad = kTrackWidthPx;
  RECT r{Px(lo, true) - pad, Px(kBarY, false) - pad, Px(hi, true) + pad, Px(kBarY, false) + pad};
  InvalidateRect(dlg_, &r, FALSE);
}

void FrmDownload::Form_Load() {
  Cancelado = false;
  Paso = 0;
  background_ = LoadPictureResource(IDR_DIALOG_BG);
  Layout();
  SetTimer(dlg_, kTimer1, 250, nullptr);
}

void FrmDownload::Timer1_Timer() {
  SetBarEnd(kBarX2);
  ++Paso;
  switch (Paso) {
    case 1:
      SetLabel(IDC_LB_MENSAJE, "Please wait...");
      break;
    case 3:
      SetLabel(IDC_LB_MENSAJE, "Analizing code...");
      break;
    case 4:
      SetLabel(IDC_LB_MENSAJE, "Sending request to the server...");
      break;
    case 5:
      SetLabel(IDC_LB_MENSAJE, "Connecting with " + Module1::DownloadSite + " ...");
      break;
    case 9:
      Paso = 0;
      SetLabel(IDC_LB_MENSAJE, "Downloading " + Module1::DownloadTitle + " visualisation...");
      KillTimer(dlg_, kTimer1);
      EjecutarDescarga();
      break;
    default:
      break;
  }
}

void FrmDownload::EjecutarDescarga() {
  DoEvents();
  DownloadVis = std::make_unique<ClassDownload>();
  DownloadVis->SetReceiver(this);
  DownloadVis->SetComprobarFichero(&IsPlayableMovie);
  DownloadVis->SetBytesBloqueDescarga(3);
  DownloadVis->SetURL(Module1::DownloadURL);
  DownloadVis->SetFichero(Module1::DownloadFile);
  downloading_ = true;
  DownloadVis->Descargar(1);
  downloading_ = false;
  UpdateWindow(dlg_);
  const char* text;
  UINT icon;
  if (!DownloadVis->HuboError()) {
    text = "The visualisation has been successfully downloaded.";
    icon = MB_ICONINFORMATION;
  } else if (Cancelado) {
    text = "The download has been cancelled.";
    icon = MB_ICONERROR;
  } else {
    text = "An error has ocurred in the visualisation download, please try later.";
    icon = MB_ICONERROR;
  }
  MessageBoxA(dlg_, text, kTitle, MB_OK | icon);
  Module1::DownloadURL.clear();
  Module1::DownloadFile.clear();
  DownloadVis.reset();
  Form_Unload();
  EndDialog(dlg_, 0);
}

void FrmDownload::Command1_Click() { Cancelado = true; }

void FrmDownload::Form_Unload() {
  Module1::DownloadURL.clear();
  Module1::DownloadFile.clear();
  Module1::DownloadSite.clear();
  Module1::DownloadTitle.clear();
  Cancelado = false;
}

void FrmDownload::Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje,
                           int32_t SegundosTranscurridos, double SegundosRestantes, int32_t& BytesPorSegundo,
                           bool& Cancelar) {
  if (Cancelado) {
    Cancelar = true;
    SetWindowTextA(dlg_, "Download Cancelled");
  } else if (BytesRecibidos > kMovieSizeLimit) {
    Cancelar = true;  // not a movie: ends as an error, not as a cancel
  } else if (BytesTotales != -1) {
    // Labels change at most at display rate; the last figures always show.
    const DWORD now = GetTickCount();
    if (now - last_paint_tick_ >= 16 || BytesRecibidos >= BytesTotales) {
      last_paint_tick_ = now;
      SetLabel(IDC_LB_ELAPSED, Module1::FormatTime(SegundosTranscurridos));
      SetLabel(IDC_LB_REMAINING, Module1::FormatTime(SegundosRestantes));
      SetLabel(IDC_LB_RATE, download::FormatRate(BytesPorSegundo, DecimalSeparator()));
      SetLabel(IDC_LB_PORCENTAJE, std::to_string(Porcentaje) + "%");
      SetBarEnd(download::BarEndTwips(Porcentaje));
    }
  }
  DoEventsEvery(10);
}
