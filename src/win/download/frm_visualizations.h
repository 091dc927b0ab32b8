#pragma once
#include <windows.h>

#include <string>

#include "download/frm_visualizations_logic.h"
#include "shared/skinned_dialog.h"
#include "shared/handles.h"
#include "shared/picture.h"

// The download-code form: the site's catalogue (the system's web browser
// control, or a link that opens the page in the user's browser where the
// control cannot be made), a digits-only code box, Ok and Close. Its
// behaviour lives in FrmVisualizationsLogic: Ok decodes the code and runs the
// download dialog with one request; the decoded name is the form's result.
class FrmVisualizations : public SkinnedDialog, private FrmVisualizationsView {
 public:
  FrmVisualizations();
  ~FrmVisualizations() override;

  // After DoModal: the name of the visualisation whose download ran (whatever
  // its outcome); "" when the form closed without one.
  const std::string& Decoded() const { return logic_.Decoded(); }

  // The catalogue's address: the site's base address and the page's path.
  static std::string CatalogueUrl();

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  LRESULT OnNotify(int id, NMHDR* header) override;
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;
  void OnDpiChanged(int old_dpi, int new_dpi) override;

 private:
  static LRESULT CALLBACK Text1Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
  static LRESULT Text1Message(HWND h, UINT msg, WPARAM wp, LPARAM lp, FrmVisualizations* form);
  void Form_Load();
  void CreateBrowserOrLink();
  // The browser or the link's panel and its texts, at the place that the
  // template marks, for the current DPI.
  void PlaceBrowserOrLink();
  void PaintBackground(HDC dc);

  HWND browser_ = nullptr;
  bool link_shown_ = false;
  RECT panel_{};
  ScopedBrush panel_brush_;
  ScopedFont title_font_;
  FrmVisualizationsLogic logic_;

  // FrmVisualizationsView
  std::string CodeText() override;
  void SetCodeText(const std::string& text) override;
  void SelectCode(size_t length) override;
  bool ClipboardText(std::string* text) override;
  void SetDecoded(const std::string& name) override;
  int MsgBox(const std::string& text, const std::string& title, int style) override;
  bool FileExists(const std::string& path) override;
  std::string ProgramFolder() override;
  void ShowDownload(const download::DownloadRequest& request) override;
  void Close() override;
};

// Runs the form modally; returns the name of the visualisation whose
// download ran, "" when none did.
std::string ShowFrmVisualizations(HWND owner);
