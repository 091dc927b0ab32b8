#include "download/frm_download.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "movie/lottie_validator.h"
#include "resource.h"
#include "shared/do_events.h"
#include "shared/handles.h"

namespace {

constexpr UINT_PTR kTimer1 = 1;
// The bar: a white track under a black bar, as thick as these at 96 DPI.
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

int LabelId(DownloadLabel label) {
  switch (label) {
    case DownloadLabel::LbMensaje: return IDC_LB_MENSAJE;
    case DownloadLabel::LbElapsed: return IDC_LB_ELAPSED;
    case DownloadLabel::LbRemaining: return IDC_LB_REMAINING;
    case DownloadLabel::LbRate: return IDC_LB_RATE;
    case DownloadLabel::LbPorcentaje: return IDC_LB_PORCENTAJE;
  }
  return 0;
}

}  // namespace

void ShowFrmDownload(HWND owner, const download::DownloadRequest& request) {
  FrmDownload form(request);
  form.DoModal(owner);
}

FrmDownload::FrmDownload(download::DownloadRequest request)
    : SkinnedDialog(IDD_DOWNLOAD), logic_(*this, std::move(request)) {}
FrmDownload::~FrmDownload() = default;

bool FrmDownload::OnInit() {
  InitSkin();
  logic_.Form_Load();
  SetTimer(hwnd(), kTimer1, 250, nullptr);
  return true;
}

void FrmDownload::OnTimer(UINT_PTR id) {
  if (id == kTimer1) logic_.Timer1_Timer();
}

// The Cancel button, Esc and the title bar's close button all cancel; the
// dialog closes itself once the download has ended.
void FrmDownload::OnCommand(int id, int /*code*/) {
  if (id == IDCANCEL) logic_.Command1_Click();
}

void FrmDownload::OnClose() { logic_.Command1_Click(); }

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

void FrmDownload::PaintBackground(HDC dc) {
  RECT rc;
  GetClientRect(hwnd(), &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  // The settings dialog's picture at its own size: this dialog shows its
  // top left part.
  DrawPicture(dc, DialogBackground(), 0, 0);
}

RECT FrmDownload::Track() const {
  RECT r{};
  HWND marker = Item(IDC_DL_BAR);
  GetWindowRect(marker, &r);
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int FrmDownload::BarX(int twips) const {
  const RECT t = Track();
  return t.left + MulDiv(twips - FrmDownloadLogic::kBarStart, t.right - t.left,
                         FrmDownloadLogic::kTrackEnd - FrmDownloadLogic::kBarStart);
}

// The bar lies over the background, so every paint draws it again: a white
// track, and over it the black bar from its start to line1_x1_.
void FrmDownload::PaintBar(HDC dc) {
  const RECT t = Track();
  const int y = (t.top + t.bottom) / 2;
  const GdiObject<HPEN> track(CreatePen(PS_SOLID, MulDiv(kTrackWidthPx, Dpi(), 96), RGB(255, 255, 255)));
  const GdiObject<HPEN> bar(CreatePen(PS_SOLID, MulDiv(kBarWidthPx, Dpi(), 96), RGB(0, 0, 0)));
  {
    const Selection pen(dc, track.get());
    MoveToEx(dc, t.left, y, nullptr);
    LineTo(dc, t.right, y);
  }
  if (line1_x1_ > FrmDownloadLogic::kBarStart) {
    const Selection pen(dc, bar.get());
    MoveToEx(dc, t.left, y, nullptr);
    LineTo(dc, BarX(line1_x1_), y);
  }
}

// --- the view ---------------------------------------------------------------

void FrmDownload::SetLabel(DownloadLabel which, const std::string& text) {
  HWND label = Item(LabelId(which));
  if (text == WindowText(label)) return;  // an unchanged text costs nothing
  SetWindowTextA(label, text.c_str());
  // A transparent label does not clear its old text: repaint the background
  // under it, then the label over it, in that order and at once.
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(hwnd(), &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_ERASENOW | RDW_UPDATENOW);
}

void FrmDownload::SetBarEnd(int twips) {
  if (twips == line1_x1_) return;
  const int lo = BarX(std::min(twips, line1_x1_)), hi = BarX(std::max(twips, line1_x1_));
  line1_x1_ = twips;
  const RECT t = Track();
  const int y = (t.top + t.bottom) / 2, pad = MulDiv(kTrackWidthPx, Dpi(), 96);
  RECT r{lo - pad, y - pad, hi + pad, y + pad};
  InvalidateRect(hwnd(), &r, FALSE);
}

void FrmDownload::SetCaption(const std::string& text) { SetWindowTextA(hwnd(), text.c_str()); }

void FrmDownload::StopTimer() { KillTimer(hwnd(), kTimer1); }

DownloadOutcome FrmDownload::RunDownload(const download::DownloadRequest& request) {
  DoEvents();
  DownloadVis = std::make_unique<ClassDownload>();
  DownloadVis->SetReceiver(this);
  DownloadVis->SetComprobarFichero(&IsPlayableMovie);
  DownloadVis->SetLimiteBytes(kMovieSizeLimit);
  DownloadVis->SetBytesBloqueDescarga(3);
  DownloadVis->SetURL(request.DownloadURL);
  DownloadVis->SetFichero(request.DownloadFile);
  // A Cancel pressed during the pump above wins: no request goes out.
  DownloadOutcome outcome;
  if (!logic_.Cancelado()) {
    DownloadVis->Descargar(1);
    outcome = {DownloadVis->HuboError(), DownloadVis->Causa()};
  }
  UpdateWindow(hwnd());
  DownloadVis.reset();
  return outcome;
}

bool FrmDownload::Downloading() { return DownloadVis && DownloadVis->Descargando(); }

// Reaches the download at once, even while WinINet waits: Descargar keeps
// the dialog's messages moving.
void FrmDownload::CancelDownload() {
  if (DownloadVis) DownloadVis->Cancelar();
}

void FrmDownload::MsgBox(const std::string& text, const std::string& title, int style) {
  MessageBoxA(hwnd(), text.c_str(), title.c_str(), MB_OK | static_cast<UINT>(style));
}

uint32_t FrmDownload::TickCount() { return GetTickCount(); }

char FrmDownload::DecimalSeparator() {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1) return buf[0];
  return '.';
}

void FrmDownload::Close() { End(0); }

void FrmDownload::Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje,
                           int32_t SegundosTranscurridos, double SegundosRestantes, int32_t& BytesPorSegundo,
                           bool& Cancelar) {
  logic_.Progreso(BytesTotales, BytesRecibidos, Porcentaje, SegundosTranscurridos, SegundosRestantes,
                  BytesPorSegundo, Cancelar);
  DoEventsEvery(10);
}
