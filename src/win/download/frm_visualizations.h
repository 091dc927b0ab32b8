#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "shared/picture.h"

// The download-code form: the site's catalogue (the system's web browser
// control, or a link that opens the page in the user's browser where the
// control cannot be made), a digits-only code box, Ok and Close. Ok decodes
// the code into a visualisation name, hands its address and path to the
// download dialog, and afterwards lets the opener rebuild its list.
class FrmVisualizations {
 public:
  // Called after a download attempt with the decoded name (whatever the
  // outcome), so that the settings dialog can list and select it.
  using RebuildList = std::function<void(const std::string& decoded)>;
  // The site's display name shown while the download dialog connects.
  static constexpr const char* kSiteName = "QrvSaver2006 visualisations";

  void ShowModal(HWND owner, RebuildList rebuild);
  // The catalogue's address: the site's base address and the page's path.
  static std::string CatalogueUrl();

 private:
  static INT_PTR CALLBACK StaticProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK Text1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
  INT_PTR Proc(UINT msg, WPARAM wp, LPARAM lp);
  void Form_Load();
  void Text1_GotFocus();
  void Command1_Click();
  void CreateBrowserOrLink();
  int Px(int twips, bool horizontal) const;

  HWND dlg_ = nullptr;
  HWND browser_ = nullptr;
  bool link_shown_ = false;
  RECT panel_{};
  Picture background_;
  HBRUSH panel_brush_ = nullptr;
  HFONT title_font_ = nullptr;
  int dpi_x_ = 96, dpi_y_ = 96;
  RebuildList rebuild_;
};

void ShowFrmVisualizations(HWND owner, FrmVisualizations::RebuildList rebuild);
