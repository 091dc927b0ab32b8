#pragma once
// The download-code form's behaviour, written against a small view so that
// its steps can be checked without a window: the clipboard's code is picked
// up when the code box gets the focus, and Ok decodes the code, refuses a
// name that cannot be a file, asks before replacing a downloaded one, runs
// the download dialog with one DownloadRequest and closes the form. The
// decoded name is the form's result: the settings dialog rebuilds its list
// from it once the form is gone.
#include <string>

#include "download/code_entry.h"

class FrmVisualizationsView {
 public:
  virtual ~FrmVisualizationsView() = default;
  // Text1, the code box.
  virtual std::string CodeText() = 0;
  virtual void SetCodeText(const std::string& text) = 0;
  // Selects the first `length` characters of the code box.
  virtual void SelectCode(size_t length) = 0;
  // The clipboard's plain text; false when it holds none or cannot be opened.
  virtual bool ClipboardText(std::string* text) = 0;
  // Label1, which shows the decoded name.
  virtual void SetDecoded(const std::string& name) = 0;
  // A modal message box; returns the answer (6 yes, 7 no, 1 OK).
  virtual int MsgBox(const std::string& text, const std::string& title, int style) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // The program's folder, without a trailing backslash.
  virtual std::string ProgramFolder() = 0;
  // Runs the download dialog modally for `request`.
  virtual void ShowDownload(const download::DownloadRequest& request) = 0;
  // Closes the form.
  virtual void Close() = 0;
};

class FrmVisualizationsLogic {
 public:
  // site_url: the site's base address, without a trailing slash.
  FrmVisualizationsLogic(FrmVisualizationsView& view, std::string site_url);

  void Text1_GotFocus();
  void Command1_Click();  // Ok, and Enter

  // The name of the visualisation whose download was run; "" when none was.
  const std::string& Decoded() const { return decoded_; }

 private:
  FrmVisualizationsView& view_;
  std::string site_url_;
  std::string decoded_;
};
