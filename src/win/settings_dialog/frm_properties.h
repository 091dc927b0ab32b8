#pragma once
// The settings dialog: three tab pages (visualisation, sound, about) on a
// tab control, "&Accept" and "Cl&ose". Its behaviour lives in
// FrmPropertiesLogic; this class shows the controls and forwards their events.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "frm_properties_ids.h"
#include "music/win_music_host.h"
#include "registry/settings_store.h"
#include "settings_dialog/frm_properties_logic.h"
#include "shared/skinned_dialog.h"
#include "shared/handles.h"
#include "shared/picture.h"

class FrmProperties : public SkinnedDialog, private FrmPropertiesView {
 public:
  FrmProperties();
  ~FrmProperties() override;

 protected:
  bool OnInit() override;
  void OnCommand(int id, int code) override;
  LRESULT OnNotify(int id, NMHDR* header) override;
  void OnTimer(UINT_PTR id) override;
  void OnClose() override;
  bool PreTranslateMessage(MSG& msg) override;
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;
  void OnDpiChanged(int old_dpi, int new_dpi) override;

 private:
  // "Get &More": the download-code form, then the list rebuilt with the
  // downloaded visualisation selected.
  void Command2_Click();

  // One tab page: a child dialog whose events go to the form.
  class Page : public Dialog {
   public:
    Page(FrmProperties& form, int template_id) : Dialog(template_id), form_(form) {}

   protected:
    void OnCommand(int id, int code) override { form_.OnCommand(id, code); }
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override {
      return form_.OnMessage(msg, wp, lp, handled);
    }

   private:
    FrmProperties& form_;
  };
  // A built-in picture and its copy scaled to the size last drawn.
  struct ScaledPicture {
    Picture source;
    Picture scaled;
    void Draw(HDC dc, const RECT& rect);
  };

  HWND Ctl(PropId id) const;
  HWND Ctl(PropControl control) const;
  void ShowPage(int tab);
  void SelectTab(int tab);
  void PlacePages();
  void SetUpFonts();
  void SetUpTooltips();

  // FrmPropertiesView
  void SetCurrentTab(int tab) override;
  void SetCaption(PropControl control, const std::string& text) override;
  std::string GetCaption(PropControl control) override;
  int GetValue(PropControl control) override;
  void SetValue(PropControl control, int value) override;
  void SetEnabled(PropControl control, bool enabled) override;
  void ListClear(PropControl list) override;
  void ListAdd(PropControl list, const std::string& text) override;
  int ListCount(PropControl list) override;
  std::string ListItem(PropControl list, int index) override;
  int ListIndex(PropControl list) override;
  void SetListIndex(PropControl list, int index) override;
  std::string GetText(PropControl control) override;
  void SetText(PropControl control, const std::string& text) override;
  std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) override;
  std::string ProgramFolder() override;
  void DoEvents() override;
  int MsgBox(const std::string& text, const std::string& title, int style) override;
  bool ShowOpen(int flags, const std::string& filter, std::string* file_name) override;
  void SetHourglass(bool on) override;
  void ShellOpen(const std::string& file, const std::string& folder) override;
  void ShowPreviewFrame(int frame) override;
  void EndProgram() override;

  RegistrySettings settings_;
  WinMusicHost music_host_;
  Module1::MusicPlayer music_;
  FrmPropertiesLogic logic_;
  Page pages_[3];
  ScaledPicture background_, banner_, about_;
  ScaledPicture frames_[4];  // Img2 to Img5
  int current_frame_ = 0;    // the frame Img1 shows
  bool hourglass_ = false;
  ScopedFont label1_font_, link_font_;
  ScopedIcon icon_big_, icon_small_;
};

// Shows the settings dialog owned by `owner` (nullptr: unowned). Closing the
// dialog ends the program; this returns only when the dialog could not be
// created, with a non-zero exit code.
int ShowFrmProperties(HWND owner);
