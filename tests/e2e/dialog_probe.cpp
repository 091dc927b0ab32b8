// Reads a dialog of another process the way the end-to-end scripts need it:
//   dialog_probe dump CAPTION     one line per control of the top-level
//                                 window CAPTION and of its child dialogs:
//                                 id, class, visible, enabled, check state,
//                                 screen rectangle, text; list boxes add their
//                                 selection and items, tab controls their tab
//   dialog_probe owner CAPTION    the window's owner handle (decimal), 0 for none
//   dialog_probe root HWND        the top-level window that holds HWND (decimal)
//   dialog_probe layout CAPTION   checks that every control lies inside its
//                                 dialog, that no two overlap (group boxes
//                                 and frames excepted, and what they contain;
//                                 hidden controls are left out)
//                                 and that every caption fits on its line in
//                                 the dialogs' font at this DPI; prints each
//                                 fault, ends 1 when there is one
// Exit code 2 when no such window exists.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
struct Control {
  HWND hwnd;
  HWND parent;
  int id;
  std::string cls;
  LONG style;
  RECT rect;
  bool visible;
};

std::string Text(HWND w) {
  char buf[1024] = "";
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  std::string s = buf;
  for (char& c : s)
    if (c == '\r' || c == '\n') c = '~';
  return s;
}

BOOL CALLBACK Collect(HWND w, LPARAM lp) {
  auto* out = reinterpret_cast<std::vector<Control>*>(lp);
  Control c{};
  c.hwnd = w;
  c.parent = GetParent(w);
  c.id = GetDlgCtrlID(w);
  char cls[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  c.cls = cls;
  c.style = GetWindowLongA(w, GWL_STYLE);
  GetWindowRect(w, &c.rect);
  c.visible = IsWindowVisible(w) != FALSE;
  out->push_back(c);
  return TRUE;
}

std::vector<Control> Controls(HWND top) {
  std::vector<Control> all;
  EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool IsButtonClass(const Control& c) { return c.cls == "Button"; }
bool IsContainer(const Control& c) {
  const LONG type = c.style & 0x1F;
  return (IsButtonClass(c) && (c.style & 0x0F) == BS_GROUPBOX) ||
         (c.cls == "Static" && (type == SS_ETCHEDFRAME || type == SS_BLACKFRAME || type == SS_GRAYFRAME)) ||
         c.cls == "#32770";
}

void Dump(HWND top) {
  for (const Control& c : Controls(top)) {
    std::printf("id=%d class=%s vis=%d en=%d", c.id, c.cls.c_str(), c.visible ? 1 : 0, IsWindowEnabled(c.hwnd) ? 1 : 0);
    if (IsButtonClass(c)) std::printf(" chk=%d", static_cast<int>(SendMessageA(c.hwnd, BM_GETCHECK, 0, 0)));
    std::printf(" rect=%ld,%ld,%ld,%ld", c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                c.rect.bottom - c.rect.top);
    if (c.cls == "ListBox") {
      const int n = static_cast<int>(SendMessageA(c.hwnd, LB_GETCOUNT, 0, 0));
      std::printf(" sel=%d top=%d rowh=%d items=", static_cast<int>(SendMessageA(c.hwnd, LB_GETCURSEL, 0, 0)),
                  static_cast<int>(SendMessageA(c.hwnd, LB_GETTOPINDEX, 0, 0)),
                  static_cast<int>(SendMessageA(c.hwnd, LB_GETITEMHEIGHT, 0, 0)));
      for (int i = 0; i < n; ++i) {
        // Asked in UTF-16: Wine hands list text across processes unconverted.
        wchar_t item[512] = L"";
        if (SendMessageW(c.hwnd, LB_GETTEXTLEN, i, 0) < 511) SendMessageW(c.hwnd, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
        char narrow[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, item, -1, narrow, sizeof narrow, nullptr, nullptr);
        std::printf("%s%s", i ? "|" : "", narrow);
      }
    }
    if (c.cls == "SysTabControl32") std::printf(" tab=%d", static_cast<int>(SendMessageA(c.hwnd, TCM_GETCURSEL, 0, 0)));
    std::printf(" text=%s\n", Text(c.hwnd).c_str());
  }
}

bool Inside(const RECT& in, const RECT& out) {
  return in.left >= out.left && in.top >= out.top && in.right <= out.right && in.bottom <= out.bottom;
}

// Width in pixels of `text` (access-key marks removed) in the dialogs'
// 8-point shell font at this display's DPI.
int TextWidth(HDC dc, std::string text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  SIZE size{};
  GetTextExtentPoint32A(dc, plain.c_str(), static_cast<int>(plain.size()), &size);
  return size.cx;
}

// Every caption fits its control on one line (the About label line by line).
int TextFaults(const std::vector<Control>& all) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(8, dpi, 72);
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, "MS Shell Dlg 2", LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  int faults = 0;
  const int check = MulDiv(16, dpi, 96);  // the box and the gap after it
  for (const Control& c : all) {
    char raw[1024] = "";
    SendMessageTimeoutA(c.hwnd, WM_GETTEXT, sizeof raw, reinterpret_cast<LPARAM>(raw), SMTO_ABORTIFHUNG, 2000, nullptr);
    std::string text = raw;
    if (text.empty() || c.cls == "Edit") continue;
    const int width = c.rect.right - c.rect.left;
    const LONG kind = c.style & 0x0F;
    int need = 0;
    if (c.cls == "Button" && (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX)) need = TextWidth(dc, text) + check;
    else if (c.cls == "Button" && kind == BS_GROUPBOX) need = TextWidth(dc, text) + MulDiv(16, dpi, 96);
    else if (c.cls == "Button") need = TextWidth(dc, text) + MulDiv(8, dpi, 96);
    else if (c.cls == "Static" && (c.style & 0x1F) == SS_LEFT &&
             c.rect.bottom - c.rect.top >= 2 * MulDiv(13, dpi, 96)) {
      // A label of several lines wraps its words: the wrapped text must fit
      // its height.
      RECT box{0, 0, width, 0};
      DrawTextA(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      if (box.bottom > c.rect.bottom - c.rect.top) {
        std::printf("clipped: id=%d \"%s\" needs %ld lines' height, has %ld\n", c.id, text.c_str(), box.bottom,
                    c.rect.bottom - c.rect.top);
        ++faults;
      }
      continue;
    } else if (c.cls == "Static") {
      size_t start = 0;
      while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const int w = TextWidth(dc, line);
        if (w > need) need = w;
        if (end == std::string::npos) break;
        start = end + 2;
      }
    }
    if (need > width) {
      std::printf("clipped: id=%d \"%s\" needs %d pixels, has %d\n", c.id, text.c_str(), need, width);
      ++faults;
    }
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return faults;
}

int Layout(HWND top) {
  // A hidden control takes no room: a dialog may keep one as a marker of
  // where it draws something itself.
  std::vector<Control> all;
  for (const Control& c : Controls(top))
    if (c.visible) all.push_back(c);
  int faults = TextFaults(all);
  for (const Control& c : all) {
    RECT client;
    GetClientRect(c.parent, &client);
    MapWindowPoints(c.parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!Inside(c.rect, client)) {
      std::printf("outside: id=%d %s (%ld,%ld,%ld,%ld) in (%ld,%ld,%ld,%ld)\n", c.id, Text(c.hwnd).c_str(),
                  c.rect.left, c.rect.top, c.rect.right, c.rect.bottom, client.left, client.top, client.right,
                  client.bottom);
      ++faults;
    }
  }
  for (size_t i = 0; i < all.size(); ++i) {
    for (size_t j = i + 1; j < all.size(); ++j) {
      const Control &a = all[i], &b = all[j];
      if (a.parent != b.parent) continue;
      // A frame may hold other controls, but it must hold them whole.
      if (IsContainer(a) || IsContainer(b)) {
        const Control& frame = IsContainer(a) ? a : b;
        const Control& other = IsContainer(a) ? b : a;
        RECT cut;
        if (IntersectRect(&cut, &a.rect, &b.rect) && !Inside(other.rect, frame.rect) &&
            !Inside(frame.rect, other.rect) && frame.cls != "#32770" && other.cls != "#32770") {
          std::printf("cut by frame: id=%d and id=%d\n", frame.id, other.id);
          ++faults;
        }
        continue;
      }
      RECT cut;
      if (IntersectRect(&cut, &a.rect, &b.rect)) {
        std::printf("overlap: id=%d %s and id=%d %s\n", a.id, Text(a.hwnd).c_str(), b.id, Text(b.hwnd).c_str());
        ++faults;
      }
    }
  }
  return faults ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dialog_probe dump|owner|layout CAPTION\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "root") {  // root HWND: the top-level window that holds HWND
    HWND w = reinterpret_cast<HWND>(static_cast<intptr_t>(std::strtoll(argv[2], nullptr, 10)));
    std::printf("%lld\n", static_cast<long long>(reinterpret_cast<intptr_t>(GetAncestor(w, GA_ROOT))));
    return 0;
  }
  HWND top = FindWindowA(nullptr, argv[2]);
  if (!top) return 2;
  if (mode == "dump") Dump(top);
  else if (mode == "owner") std::printf("%lld\n", static_cast<long long>(reinterpret_cast<intptr_t>(GetWindow(top, GW_OWNER))));
  else if (mode == "layout") return Layout(top);
  else return 2;
  return 0;
}
