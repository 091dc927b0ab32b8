#include "download/frm_download_logic.h"

#include <utility>

#include "download/progress_text.h"

FrmDownloadLogic::FrmDownloadLogic(FrmDownloadView& view, download::DownloadRequest request)
    : view_(view), request_(std::move(request)) {}

void FrmDownloadLogic::Form_Load() {
  cancelado_ = false;
  paso_ = 0;
  decimal_ = view_.DecimalSeparator();  // asked once, not at every block
}

void FrmDownloadLogic::Timer1_Timer() {
  view_.SetBarEnd(kBarStart);
  ++paso_;
  switch (paso_) {
    case 1:
      view_.SetLabel(DownloadLabel::LbMensaje, "Please wait...");
      break;
    case 3:
      view_.SetLabel(DownloadLabel::LbMensaje, "Analizing code...");
      break;
    case 4:
      view_.SetLabel(DownloadLabel::LbMensaje, "Sending request to the server...");
      break;
    case 5:
      view_.SetLabel(DownloadLabel::LbMensaje, "Connecting with " + request_.DownloadSite + " ...");
      break;
    case 9:
      paso_ = 0;
      view_.SetLabel(DownloadLabel::LbMensaje, "Downloading " + request_.DownloadTitle + " visualisation...");
      view_.StopTimer();
      EjecutarDescarga();
      break;
    default:
      break;
  }
}

void FrmDownloadLogic::EjecutarDescarga() {
  DownloadOutcome outcome;
  // A Cancel pressed while the messages were still showing wins: no
  // request goes out.
  if (!cancelado_) outcome = view_.RunDownload(request_);
  std::string text;
  int icon = kMbIconError;
  if (cancelado_) {
    // Whatever the download reported: the user asked for nothing to change.
    text = kCancelled;
  } else if (!outcome.HuboError) {
    text = kSucceeded;
    icon = kMbIconInformation;
  } else {
    text = kFailed;
    // One line under the message says why.
    std::string cause = outcome.Causa;
    if (!cause.empty()) {
      if (cause[0] >= 'a' && cause[0] <= 'z') cause[0] = static_cast<char>(cause[0] - 'a' + 'A');
      text += "\n" + cause + ".";
    }
  }
  view_.MsgBox(text, kTitle, icon);
  cancelado_ = false;
  view_.Close();
}

void FrmDownloadLogic::Command1_Click() {
  cancelado_ = true;
  if (view_.Downloading()) {
    view_.CancelDownload();
    view_.SetCaption(kCancelledCaption);
  }
}

void FrmDownloadLogic::Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje,
                                int32_t SegundosTranscurridos, double SegundosRestantes, int32_t BytesPorSegundo,
                                bool& Cancelar) {
  if (cancelado_) {
    Cancelar = true;
    view_.SetCaption(kCancelledCaption);
    return;
  }
  if (BytesTotales == -1) return;  // no length: no figures
  const uint32_t now = view_.TickCount();
  if (figures_shown_ && now - last_figures_ < kFigureInterval && BytesRecibidos < BytesTotales) return;
  figures_shown_ = true;
  last_figures_ = now;
  view_.SetLabel(DownloadLabel::LbElapsed, Module1::FormatTime(SegundosTranscurridos));
  view_.SetLabel(DownloadLabel::LbRemaining, Module1::FormatTime(SegundosRestantes));
  view_.SetLabel(DownloadLabel::LbRate, download::FormatRate(BytesPorSegundo, decimal_));
  view_.SetLabel(DownloadLabel::LbPorcentaje, std::to_string(Porcentaje) + "%");
  view_.SetBarEnd(download::BarEndTwips(Porcentaje));
}
