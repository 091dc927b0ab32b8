#include "download/code_entry.h"

#include <cmath>

#include "download/download_logic.h"
#include "text/ansi_case.h"
#include "settings/numeric.h"
#include "settings_dialog/frm_properties_logic.h"

namespace download {

const char* const kSiteName = "QrvSaver2006 visualisations";

DownloadRequest MakeDownloadRequest(const std::string& site_url, const std::string& program_folder,
                                    const std::string& name) {
  DownloadRequest r;
  r.DownloadURL = site_url + "/VelmaraScreensaver/DWN/" + name + ".exe";
  r.DownloadFile = program_folder + "\\QR06V2XLM\\" + name + ".vsi";
  r.DownloadSite = kSiteName;
  r.DownloadTitle = UpperAnsi(name);
  return r;
}

std::string CodeTableChar(int n) {
  if (n == 1) return " ";
  if (n >= 2 && n <= 15) return std::string(1, static_cast<char>('a' + (n - 2)));
  if (n == 16) return "\xF1";
  if (n >= 17 && n <= 28) return std::string(1, static_cast<char>('o' + (n - 17)));
  if (n >= 29 && n <= 38) return std::string(1, static_cast<char>('0' + (n - 29)));
  return "#Err";
}

std::string DecodeCode(const std::string& code) {
  std::string name;
  for (size_t i = 0; i < code.size(); i += 2) {
    const int number = static_cast<int>(RoundHalfEven(Val(code.substr(i, 2))));  // two characters: at most 99
    name += CodeTableChar(number);
  }
  return name;
}

bool IsFileName(const std::string& name) {
  if (name.size() < 2 || name.find("#Err") != std::string::npos) return false;
  std::string upper;
  for (char c : name) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  // Blanks at the end are dropped by the platform: "con " is still CON.
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL"})
    if (upper == device) return false;
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
      upper[3] >= '1' && upper[3] <= '9')
    return false;
  return true;
}

std::string EncodeName(const std::string& name) {
  std::string code;
  for (char ch : name) {
    int found = 0;
    for (int n = 1; n <= 38 && !found; ++n)
      if (CodeTableChar(n) == std::string(1, ch)) found = n;
    if (!found) return "";
    code += static_cast<char>('0' + found / 10);
    code += static_cast<char>('0' + found % 10);
  }
  return code;
}

int FilterCodeKey(int key_ascii) {
  if ((key_ascii >= '0' && key_ascii <= '9') || key_ascii == 8) return key_ascii;
  return 0;
}

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsNumericText(const std::string& t) {
  size_t i = 0, end = t.size();
  while (i < end && IsBlank(t[i])) ++i;
  while (end > i && IsBlank(t[end - 1])) --end;
  bool digits = false;
  return NumberEnd(t.data(), end, i, &digits) == end && digits;
}

std::string PickUpClipboardCode(bool has_text, const std::string& clip, const std::string& box) {
  std::string text = box;
  if (!has_text) return text;
  if (clip.size() <= 3 || !IsNumericText(clip)) return text;
  if (Val(clip.substr(0, 6)) > 383838) return text;
  if (clip.size() > 5 && clip.size() < 29) text = clip;
  const long k = static_cast<long>(text.size()) - 5;
  for (long n = 0; n < k; ++n) {
    if (text.empty() || IsDigit(text.back())) break;
    text.pop_back();
  }
  return text;
}

ListRebuild RebuildVisualisationList(const std::vector<std::string>& files, const std::string& decoded,
                                     int previous_index) {
  ListRebuild r;
  int index = previous_index;
  bool other = false;
  const std::string wanted = UpperAnsi(decoded);
  // The bound is included: the entry past the last one reads as "".
  for (size_t i = 0; i <= files.size(); ++i) {
    const std::string entry = VisualisationListEntry(i < files.size() ? files[i] : std::string());
    if (!entry.empty()) {
      r.entries.push_back(entry);
      if (UpperAnsi(r.entries.back()) == wanted) {
        index = static_cast<int>(r.entries.size()) - 1;
      } else {
        other = true;
      }
    }
  }
  if (other) {
    r.set_selection = true;
    r.selected = index;
  }
  return r;
}

}  // namespace download
