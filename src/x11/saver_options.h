#pragma once
// The hack's command line, in the shape XScreenSaver's hacks share: every
// switch may be written with one dash or two ("-root" and "--root"), and
// switches that take a value take it as the next argument.
#include <cstdint>
#include <string>
#include <vector>

enum class BackgroundChoice { BuiltinPicture, NoPicture };
enum class QualityChoice { High, Low, Auto };

struct SaverOptions {
  std::string display;           // -display NAME; empty: $DISPLAY
  bool root = false;             // -root: draw on the screen's root window
  bool has_window_id = false;    // -window-id ID
  unsigned long window_id = 0;
  std::string visualisation;     // -visualisation FILE|NAME; empty: the default one
  BackgroundChoice background = BackgroundChoice::BuiltinPicture;
  bool music = false;            // -music / -no-music
  int song = 0;                  // -song N (1 to 9); 0 means random
  QualityChoice quality = QualityChoice::Auto;
  bool fps = false;              // -fps / -no-fps
  bool help = false;             // -help
};

struct ParseResult {
  bool ok = true;
  std::string error;  // one line, without the program's name, when !ok
  SaverOptions options;
};

ParseResult ParseOptions(const std::vector<std::string>& args);  // args without argv[0]

// An X window id as XScreenSaver and xwininfo write it: "0x" hex or decimal.
// False for anything else, for 0 and for values that do not fit 32 bits.
bool ParseWindowId(const std::string& text, unsigned long* id);

// The usage text printed by -help and after a bad command line.
std::string UsageText();

// Which window the hack draws into.
enum class TargetKind { OwnWindow, Root, Window };
struct Target {
  TargetKind kind = TargetKind::OwnWindow;
  unsigned long window = 0;
};
// -window-id first; then the XSCREENSAVER_WINDOW variable (env may be null),
// which XScreenSaver sets for its hacks; then -root; else a window of our own.
// A variable that does not hold a window id is ignored.
Target ChooseTarget(const SaverOptions& o, const char* xscreensaver_window_env);

// The visualisation file to play: FILE as given when it names a path (holds
// a '/' or ends in ".vsi"), else <data>/<NAME>.vsi; the default one when empty.
std::string VisualisationPath(const std::string& data_folder, const std::string& choice);
std::string DefaultVisualisationPath(const std::string& data_folder);
