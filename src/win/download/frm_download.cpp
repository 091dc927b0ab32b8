#include "download/frm_download.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "download/code_entry.h"
#include "download/progress_text.h"
#include "movie/lottie_validator.h"
#include "frm_properties_ids.h"
#include "resource.h"
#include "shared/do_events.h"
#include "shared/handles.h"
#include "shared/twips.h"

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr char kTitle[] = "Download Visualisations";

// Client area and control places, in twips (left, top, width, height).
constexpr int kClientW = 4500, kClientH = 2175;
constexpr TwipPlace kPlaces[] = {
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

void ShowFrmDownload(HWND owner, const download::DownloadRequest& request) {
  FrmDownload form(request);
  form.DoModal(owner);
}

FrmDownload::FrmDownload(download::DownloadRequest request) : SkinnedDialog(IDD_DOWNLOAD), request_(std::move(request)) {}
FrmDownload::~FrmDownload() = default;

bool FrmDownload::OnInit() {
  Form_Load();
  return true;
}

void FrmDownload::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1_Timer();
}

// The Cancel button, Esc and the title bar's close button all cancel; the
// dialog closes itself once the download has ended.
void FrmDownload::OnCommand(int id, int /*code*/) {
  if (id == IDCANCEL) Command1_Click();
}

void FrmDownload::OnClose() { Command1_Click(); }

INT_PTR FrmDownload::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  handled = true;
  switch (msg) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wp));
      return 1;
    case WM_PAINT: {
      PaintDc dc(hwnd());
      if (dc.erase()) PaintBackground(dc.get());
      PaintBar(dc.get());
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      return LabelOverPicture(reinterpret_cast<HDC>(wp));
    case WM_DESTROY:
      KillTimer(hwnd(), kTimer1);
      handled = false;
      return 0;
    default:
      return SkinnedDialog::OnMessage(msg, wp, lp, handled);
  }
}

void FrmDownload::Layout() { layout_.Apply(hwnd(), Dpi(), kClientW, kClientH, kPlaces); }

void FrmDownload::OnDpiChanged(int /*old_dpi*/, int new_dpi) { layout_.Place(hwnd(), new_dpi, kPlaces); }

void FrmDownload::PaintBackground(HDC dc) {
  RECT rc;
  GetClientRect(hwnd(), &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  // The settings dialog's picture at its own size: this dialog shows its
  // top left part.
  DrawPicture(dc, DialogBackground(), 0, 0);
}

// The bar lies over the background, so every paint draws it again: a white
// track, and over it the black bar from its start to line1_x1_.
void FrmDownload::PaintBar(HDC dc) {
  const GdiObject<HPEN> track(CreatePen(PS_SOLID, kTrackWidthPx, RGB(255, 255, 255)));
  const GdiObject<HPEN> bar(CreatePen(PS_SOLID, kBarWidthPx, RGB(0, 0, 0)));
  {
    const Selection pen(dc, track.get());
    MoveToEx(dc, layout_.X(kBarX2), layout_.Y(kBarY), nullptr);
    LineTo(dc, layout_.X(kTrackEnd), layout_.Y(kBarY));
  }
  if (line1_x1_ > kBarX2) {
    const Selection pen(dc, bar.get());
    MoveToEx(dc, layout_.X(kBarX2), layout_.Y(kBarY), nullptr);
    LineTo(dc, layout_.X(line1_x1_), layout_.Y(kBarY));
  }
}

void FrmDownload::SetLabel(int id, const std::string& text) {
  HWND label = GetDlgItem(hwnd(), id);
  if (text == WindowText(label)) return;  // an unchanged text costs nothing
  SetWindowTextA(label, text.c_str());
  // A transparent label does not clear its old text: repaint the background
  // under it, then the label over it, in that order and at once.
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(hwnd(), &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_ERASENOW | RDW_UPDATENOW);
}

void FrmDownload::SetBarEnd(int x1_twips) {
  if (x1_twips == line1_x1_) return;
  const int lo = std::min(x1_twips, line1_x1_), hi = std::max(x1_twips, line1_x1_);
  line1_x1_ = x1_twips;
  const int pad = kTrackWidthPx;
  RECT r{layout_.X(lo) - pad, layout_.Y(kBarY) - pad, layout_.X(hi) + pad, layout_.Y(kBarY) + pad};
  InvalidateRect(hwnd(), &r, FALSE);
}

void FrmDownload::Form_Load() {
  Cancelado = false;
  Paso = 0;
  InitSkin();
  decimal_separator_ = DecimalSeparator();  // asked once, not at every label update
  Layout();
  SetTimer(hwnd(), kTimer1, 250, nullptr);
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
      SetLabel(IDC_LB_MENSAJE, "Connecting with " + request_.DownloadSite + " ...");
      break;
    case 9:
      Paso = 0;
      SetLabel(IDC_LB_MENSAJE, "Downloading " + request_.DownloadTitle + " visualisation...");
      KillTimer(hwnd(), kTimer1);
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
  DownloadVis->SetLimiteBytes(kMovieSizeLimit);
  DownloadVis->SetBytesBloqueDescarga(3);
  DownloadVis->SetURL(request_.DownloadURL);
  DownloadVis->SetFichero(request_.DownloadFile);
  // A Cancel pressed while the messages were still showing wins: no
  // request goes out.
  if (!Cancelado) DownloadVis->Descargar(1);
  UpdateWindow(hwnd());
  std::string text;
  UINT icon;
  if (Cancelado) {
    text = "The download has been cancelled.";
    icon = MB_ICONERROR;
  } else if (!DownloadVis->HuboError()) {
    text = "The visualisation has been successfully downloaded.";
    icon = MB_ICONINFORMATION;
  } else {
    text = "An error has ocurred in the visualisation download, please try later.";
    // One line under the message says why.
    std::string cause = DownloadVis->Causa();
    if (!cause.empty()) {
      if (cause[0] >= 'a' && cause[0] <= 'z') cause[0] = static_cast<char>(cause[0] - 'a' + 'A');
      text += "\n" + cause + ".";
    }
    icon = MB_ICONERROR;
  }
  MessageBoxA(hwnd(), text.c_str(), kTitle, MB_OK | icon);
  DownloadVis.reset();
  Form_Unload();
  End(0);
}

// Reaches the download at once, even while WinINet waits: Descargar keeps
// the dialog's messages moving.
void FrmDownload::Command1_Click() {
  Cancelado = true;
  if (DownloadVis && DownloadVis->Descargando()) {
    DownloadVis->Cancelar();
    SetWindowTextA(hwnd(), "Download Cancelled");
  }
}

void FrmDownload::Form_Unload() { Cancelado = false; }

void FrmDownload::Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje,
                           int32_t SegundosTranscurridos, double SegundosRestantes, int32_t& BytesPorSegundo,
                           bool& Cancelar) {
  if (Cancelado) {
    Cancelar = true;
    SetWindowTextA(hwnd(), "Download Cancelled");
  } else if (BytesTotales != -1) {
    // Labels change at most at display rate; the last figures always show.
    const DWORD now = GetTickCount();
    if (now - last_paint_tick_ >= 16 || BytesRecibidos >= BytesTotales) {
      last_paint_tick_ = now;
      SetLabel(IDC_LB_ELAPSED, Module1::FormatTime(SegundosTranscurridos));
      SetLabel(IDC_LB_REMAINING, Module1::FormatTime(SegundosRestantes));
      SetLabel(IDC_LB_RATE, download::FormatRate(BytesPorSegundo, decimal_separator_));
      SetLabel(IDC_LB_PORCENTAJE, std::to_string(Porcentaje) + "%");
      SetBarEnd(download::BarEndTwips(Porcentaje));
    }
  }
  DoEventsEvery(10);
}
