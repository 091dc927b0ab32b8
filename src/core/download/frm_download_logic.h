#pragma once
// The download dialog's behaviour, written against a small view so that its
// steps can be checked without a window: the staged messages of its timer,
// the one download it runs, the figures of each block, Cancel (which wins at
// every stage) and the closing message with the cause of a failure. The
// Win32 dialog renders what the logic decides and runs the download itself.
#include <cstdint>
#include <string>

#include "download/code_entry.h"

// The labels that the logic writes.
enum class DownloadLabel { LbMensaje, LbElapsed, LbRemaining, LbRate, LbPorcentaje };

// What a finished download reports.
struct DownloadOutcome {
  bool HuboError = false;
  // Why it failed, as a lower-case phrase; "" when unknown.
  std::string Causa;
};

class FrmDownloadView {
 public:
  virtual ~FrmDownloadView() = default;
  virtual void SetLabel(DownloadLabel label, const std::string& text) = 0;
  // The moving end of the progress bar, in twips of the bar's scale (from
  // 120, the bar's start, to 4350, the end of its track).
  virtual void SetBarEnd(int twips) = 0;
  virtual void SetCaption(const std::string& text) = 0;
  // Switches the dialog's 250 ms timer off.
  virtual void StopTimer() = 0;
  // Runs the download of `request` to its end. Meanwhile the dialog's
  // messages keep moving: Cancel reaches Command1_Click, and every stored
  // block reaches Progreso.
  virtual DownloadOutcome RunDownload(const download::DownloadRequest& request) = 0;
  // Whether RunDownload is running now.
  virtual bool Downloading() = 0;
  // Asks the running download to stop; it ends soon after, as an error.
  virtual void CancelDownload() = 0;
  // A modal message box.
  virtual void MsgBox(const std::string& text, const std::string& title, int style) = 0;
  // Milliseconds of a steady clock.
  virtual uint32_t TickCount() = 0;
  // The user's decimal separator.
  virtual char DecimalSeparator() = 0;
  // Closes the dialog.
  virtual void Close() = 0;
};

class FrmDownloadLogic {
 public:
  // The bar's start, and the end of its white track, in twips.
  static constexpr int kBarStart = 120;
  static constexpr int kTrackEnd = 4350;
  // Labels change at most this often (ms); the last block always shows.
  static constexpr uint32_t kFigureInterval = 16;

  static constexpr char kTitle[] = "Download Visualisations";
  static constexpr char kCancelledCaption[] = "Download Cancelled";
  static constexpr char kCancelled[] = "The download has been cancelled.";
  static constexpr char kSucceeded[] = "The visualisation has been successfully downloaded.";
  static constexpr char kFailed[] = "An error has ocurred in the visualisation download, please try later.";
  static constexpr int kMbIconError = 16;
  static constexpr int kMbIconInformation = 64;

  FrmDownloadLogic(FrmDownloadView& view, download::DownloadRequest request);

  void Form_Load();
  // One tick of the 250 ms timer: the next staged message; the ninth runs
  // the download and closes the dialog.
  void Timer1_Timer();
  // Cancel, Esc and the title bar's close button.
  void Command1_Click();
  // One stored block's figures; sets Cancelar once the user has cancelled.
  void Progreso(int64_t BytesTotales, int64_t BytesRecibidos, int16_t Porcentaje, int32_t SegundosTranscurridos,
                double SegundosRestantes, int32_t BytesPorSegundo, bool& Cancelar);

  const download::DownloadRequest& Request() const { return request_; }
  bool Cancelado() const { return cancelado_; }

 private:
  void EjecutarDescarga();

  FrmDownloadView& view_;
  const download::DownloadRequest request_;
  bool cancelado_ = false;
  int16_t paso_ = 0;
  uint32_t last_figures_ = 0;
  bool figures_shown_ = false;
  char decimal_ = '.';
};
