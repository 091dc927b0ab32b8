#include "saver_options.h"

#include <cerrno>
#include <cstdlib>

namespace {

// "-name" and "--name" give "name"; anything else gives "".
std::string SwitchName(const std::string& arg) {
  if (arg.size() >= 3 && arg[0] == '-' && arg[1] == '-') return arg.substr(2);
  if (arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') return arg.substr(1);
  return "";
}

bool ParseSong(const std::string& v, int* song) {
  if (v == "random") {
    *song = 0;
    return true;
  }
  if (v.size() == 1 && v[0] >= '1' && v[0] <= '9') {
    *song = v[0] - '0';
    return true;
  }
  return false;
}

}  // namespace

bool ParseWindowId(const std::string& text, unsigned long* id) {
  if (text.empty()) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return false;
  for (char c : digits) {
    const bool ok = hex ? ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
                        : (c >= '0' && c <= '9');
    if (!ok) return false;
  }
  if (digits.size() > 16) return false;
  errno = 0;
  const unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno != 0 || v == 0 || v > 0xFFFFFFFFull) return false;
  *id = static_cast<unsigned long>(v);
  return true;
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult r;
  SaverOptions& o = r.options;
  auto fail = [&r](const std::string& msg) {
    r.ok = false;
    r.error = msg;
    return r;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string name = SwitchName(arg);
    // Switches that take a value.
    const bool takes_value = name == "display" || name == "window-id" || name == "visualisation" ||
                             name == "visualization" || name == "background" || name == "song" ||
                             name == "quality";
    std::string value;
    if (takes_value) {
      if (i + 1 >= args.size()) return fail("option " + arg + " needs a value");
      value = args[++i];
    }
    if (name == "display") {
      o.display = value;
    } else if (name == "root") {
      o.root = true;
    } else if (name == "window-id") {
      if (!ParseWindowId(value, &o.window_id)) return fail("not a window id: " + value);
      o.has_window_id = true;
    } else if (name == "visualisation" || name == "visualization") {
      o.visualisation = value;
    } else if (name == "background") {
      if (value == "builtin") o.background = BackgroundChoice::BuiltinPicture;
      else if (value == "none") o.background = BackgroundChoice::NoPicture;
      else return fail("-background takes builtin or none, not " + value);
    } else if (name == "music") {
      o.music = true;
    } else if (name == "no-music") {
      o.music = false;
    } else if (name == "song") {
      if (!ParseSong(value, &o.song)) return fail("-song takes a number from 1 to 9 or random, not " + value);
    } else if (name == "quality") {
      if (value == "high") o.quality = QualityChoice::High;
      else if (value == "low") o.quality = QualityChoice::Low;
      else if (value == "auto") o.quality = QualityChoice::Auto;
      else return fail("-quality takes high, low or auto, not " + value);
    } else if (name == "fps") {
      o.fps = true;
    } else if (name == "no-fps") {
      o.fps = false;
    } else if (name == "help" || name == "h") {
      o.help = true;
    } else {
      return fail("unknown option: " + arg);
    }
  }
  return r;
}

std::string UsageText() {
  return "usage: qrvsaver [-window-id ID | -root] [-display NAME]\n"
         "                [-visualisation FILE|NAME] [-background builtin|none]\n"
         "                [-music | -no-music] [-song 1-9|random]\n"
         "                [-quality high|low|auto] [-fps]\n";
}

Target ChooseTarget(const SaverOptions& o, const char* env) {
  Target t;
  unsigned long id = 0;
  if (o.has_window_id) {
    t.kind = TargetKind::Window;
    t.window = o.window_id;
  } else if (env && ParseWindowId(env, &id)) {
    t.kind = TargetKind::Window;
    t.window = id;
  } else if (o.root) {
    t.kind = TargetKind::Root;
  }
  return t;
}

std::string DefaultVisualisationPath(const std::string& data_folder) {
  return data_folder + "/(Default).vsi";
}

std::string VisualisationPath(const std::string& data_folder, const std::string& choice) {
  if (choice.empty()) return DefaultVisualisationPath(data_folder);
  const bool is_path = choice.find('/') != std::string::npos ||
                       (choice.size() > 4 && choice.compare(choice.size() - 4, 4, ".vsi") == 0);
  if (is_path) return choice;
  return data_folder + "/" + choice + ".vsi";
}
