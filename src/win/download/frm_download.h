#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "download/class_download.h"
#include "download/code_entry.h"
#include "download/frm_download_logic.h"
#include "movie/lottie_validator.h"
#include "shared/skinned_dialog.h"
#include "shared/picture.h"

// The modal dialog that downloads one visualisation, laid out by its
// template. FrmDownloadLogic decides what it shows and when; the dialog
// renders that (labels over the picture, the bar) and runs the one
// ClassDownload that the logic asks for, with the request it was given.
class FrmDownload : public SkinnedDialog, private FrmDownloadView, private ClassDownload::ProgresoReceiver {
 public:
  // A body longer than the player takes cannot be a movie: the download stops.
  static constexpr int64_t kMovieSizeLimit = static_cast<int64_t>(lottie_limits::kMaxBytes);

  explicit FrmDownload(download::DownloadRequest request);
  ~FrmDownload() override;

 protected:
  bool OnInit() override;
  void OnTimer(UINT_PTR id) override;
  void OnCommand(int id, int code) override;
  void OnClose() override;
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  void Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje, int32_t SegundosTranscurridos,
                double SegundosRestantes, int32_t& BytesPorSegundo, bool& Cancelar) override;

  // The bar's track in client pixels: the template's marker.
  RECT Track() const;
  // Client x of a bar end given in the bar's twips.
  int BarX(int twips) const;
  void PaintBackground(HDC dc);
  void PaintBar(HDC dc);

  // FrmDownloadView
  void SetLabel(DownloadLabel label, const std::string& text) override;
  void SetBarEnd(int twips) override;
  void SetCaption(const std::string& text) override;
  void StopTimer() override;
  DownloadOutcome RunDownload(const download::DownloadRequest& request) override;
  bool Downloading() override;
  void CancelDownload() override;
  void MsgBox(const std::string& text, const std::string& title, int style) override;
  uint32_t TickCount() override;
  char DecimalSeparator() override;
  void Close() override;

  FrmDownloadLogic logic_;
  std::unique_ptr<ClassDownload> DownloadVis;
  int line1_x1_ = FrmDownloadLogic::kBarStart;  // the bar's end, in twips
};

// Opens FrmDownload afresh, modally, for `request`.
void ShowFrmDownload(HWND owner, const download::DownloadRequest& request);
