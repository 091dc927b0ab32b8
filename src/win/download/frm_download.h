#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "download/class_download.h"
#include "shared/picture.h"

// The modal dialog that downloads one visualisation: timed status messages,
// then the download with rate, times, percentage and bar, a Cancel button,
// and the result in a message box. It reads the hand-over strings of
// Module1 and empties them when it unloads.
class FrmDownload : private ClassDownload::ProgresoReceiver {
 public:
  // A body longer than this cannot be a movie: the download stops.
  static constexpr int64_t kMovieSizeLimit = 4 * 1024 * 1024;

  FrmDownload() = default;
  FrmDownload(const FrmDownload&) = delete;
  FrmDownload& operator=(const FrmDownload&) = delete;

  // Shows the dialog modally; returns after it has unloaded itself.
  void ShowModal(HWND owner);

 private:
  static INT_PTR CALLBACK StaticProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR Proc(UINT msg, WPARAM wp, LPARAM lp);

  void Form_Load();
  void Timer1_Timer();
  void EjecutarDescarga();
  void Command1_Click();
  void Form_Unload();
  void Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje, int32_t SegundosTranscurridos,
                double SegundosRestantes, int32_t& BytesPorSegundo, bool& Cancelar) override;

  void Layout();
  int Px(int twips, bool horizontal) const;
  void SetLabel(int id, const std::string& text);
  void SetBarEnd(int x1_twips);
  void Paint(HDC dc);

  HWND dlg_ = nullptr;
  std::unique_ptr<ClassDownload> DownloadVis;
  bool Cancelado = false;
  int16_t Paso = 0;
  int line1_x1_ = 120;  // twips
  DWORD last_paint_tick_ = 0;
  bool downloading_ = false;
  Picture background_;
  HBITMAP background_bitmap_ = nullptr;
  int dpi_x_ = 96, dpi_y_ = 96;
};

// Opens FrmDownload afresh, modally.
void ShowFrmDownload(HWND owner);
