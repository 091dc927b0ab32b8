#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "shared/dialog.h"
#include "shared/handles.h"
#include "shared/picture.h"
#include "shared/twips.h"

// The download-code form: the site's catalogue (the system's web browser
// control, or a link that opens the page in the user's browser where the
// control cannot be made), a digits-only code box, Ok and Close. Ok decodes
// the code into a visualisation name, hands its address and path to the
// download dialog, and afterwards lets the opener rebuild its list.
class FrmVisualizations : public Dialog {
 public:
  // Called after a download attempt with the decoded name (whatever the
  // outcome), so that the settings dialog can list and select it.
  using RebuildList = std::function<void(const std::string& decoded)>;
  // The site's display name shown while the download dialog connects.
  static constexpr const char* kSiteName = "QrvSaver2006 visualisations";

  explicit FrmVisualizations(RebuildList rebuild);
  ~FrmVisualizations() override;

  // The catalogue's address: the site's base address and the page's path.
  static std::string CatalogueUrl();

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  LRESULT OnNotify(int id, NMHDR* header) override;
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  static LRESULT CALLBACK Text1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
  static LRESULT Text1Message(HWND h, UINT msg, WPARAM wp, LPARAM lp, FrmVisualizations* form);
  void Form_Load();
  void Text1_GotFocus();
  void Command1_Click();
  void CreateBrowserOrLink();
  void PaintBackground(HDC dc);

  HWND browser_ = nullptr;
  bool link_shown_ = false;
  RECT panel_{};
  Picture background_;
  ScopedBrush panel_brush_;
  ScopedFont title_font_;
  TwipLayout layout_;
  RebuildList rebuild_;
};

void ShowFrmVisualizations(HWND owner, FrmVisualizations::RebuildList rebuild);
