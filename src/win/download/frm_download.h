#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "download/class_download.h"
#include "download/code_entry.h"
#include "movie/lottie_validator.h"
#include "shared/skinned_dialog.h"
#include "shared/picture.h"
#include "shared/twips.h"

// The modal dialog that downloads one visualisation: timed status messages,
// then the download with rate, times, percentage and bar, a Cancel button,
// and the result in a message box. It reads the hand-over strings of
// Module1 and empties them when it unloads.
class FrmDownload : public SkinnedDialog, private ClassDownload::ProgresoReceiver {
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
  bool ScalesControls() const override { return false; }
  void OnDpiChanged(int old_dpi, int new_dpi) override;

 private:
  void Form_Load();
  void Timer1_Timer();
  void EjecutarDescarga();
  void Command1_Click();
  void Form_Unload();
  void Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje, int32_t SegundosTranscurridos,
                double SegundosRestantes, int32_t& BytesPorSegundo, bool& Cancelar) override;

  void Layout();
  void SetLabel(int id, const std::string& text);
  void SetBarEnd(int x1_twips);
  void PaintBackground(HDC dc);
  void PaintBar(HDC dc);

  const download::DownloadRequest request_;
  std::unique_ptr<ClassDownload> DownloadVis;
  bool Cancelado = false;
  int16_t Paso = 0;
  int line1_x1_ = 120;  // twips
  DWORD last_paint_tick_ = 0;
  char decimal_separator_ = '.';
  TwipLayout layout_;
};

// Opens FrmDownload afresh, modally, for `request`.
void ShowFrmDownload(HWND owner, const download::DownloadRequest& request);
