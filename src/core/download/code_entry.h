#pragma once
// The download-code form's rules that need no window: the code table, the
// decoding of a typed code, the digits-only key filter, the pick-up of a code
// from the clipboard, and the rebuild of the settings dialog's list after a
// download. Texts are in the program's ANSI code page (Windows-1252), where
// "ñ" is the byte 0xF1.
#include <string>
#include <vector>

namespace download {

// What the progress dialog needs for one download, handed to it by the code
// form.
struct DownloadRequest {
  std::string DownloadURL;    // the file's address on the site
  std::string DownloadFile;   // where it goes: <program folder>\QR06V2XLM\<name>.vsi
  std::string DownloadSite;   // the site's display name ("Connecting with ...")
  std::string DownloadTitle;  // the name in capitals ("Downloading ... visualisation...")
};

// The site's display name shown while the download dialog connects.
extern const char* const kSiteName;

// The request for the visualisation `name` of the site at `site_url` (no
// trailing slash), stored in the data folder of `program_folder`.
DownloadRequest MakeDownloadRequest(const std::string& site_url, const std::string& program_folder,
                                    const std::string& name);

// The character of one number of the code table; "#Err" outside it.
std::string CodeTableChar(int number);

// The name that a code spells: two characters per number, the last digit
// alone when the length is odd.
std::string DecodeCode(const std::string& code);

// Whether a decoded name can be a visualisation's file name: at least two
// characters, no "#Err" (a number outside the table), and none of the
// device names that the platform never opens as files (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9), in any case.
bool IsFileName(const std::string& name);

// The name's code: two digits per character; "" when a character is not in
// the table.
std::string EncodeName(const std::string& name);

// Text1_KeyPress: the character code that reaches the box (0 = swallowed).
int FilterCodeKey(int key_ascii);

// The platform's numeric test of a whole text: a decimal number, blanks
// around it allowed.
bool IsNumericText(const std::string& text);

// Text1_GotFocus's text: what the box holds after looking at the clipboard.
// has_text false when the clipboard holds no plain text.
std::string PickUpClipboardCode(bool has_text, const std::string& clipboard, const std::string& box);

// The visualisation list rebuilt from the data folder's *.vsi names.
struct ListRebuild {
  std::vector<std::string> entries;
  bool set_selection = false;  // whether the list's selected index is set
  int selected = -1;
};
ListRebuild RebuildVisualisationList(const std::vector<std::string>& file_names, const std::string& decoded,
                                     int previous_index);

}  // namespace download
