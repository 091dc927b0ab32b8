#include "power_supply.h"

#include <dirent.h>

#include <fstream>
#include <memory>

namespace {

// The first line of a small sysfs file, without its newline; "" when unreadable.
std::string ReadLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  if (!f || !std::getline(f, line)) return "";
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

bool OnBatteryPower(const std::string& root) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(root.c_str()), closedir);
  if (!dir) return false;
  bool charger_listed = false, charger_online = false;
  bool battery = false, discharging = false;
  while (const dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string base = root + "/" + name + "/";
    if (ReadLine(base + "scope") == "Device") continue;
    const std::string type = ReadLine(base + "type");
    if (type.empty()) continue;
    if (type == "Battery") {
      battery = true;
      if (ReadLine(base + "status") == "Discharging") discharging = true;
    } else {
      // Mains, USB, USB_C, USB_PD, ...: anything that feeds the machine.
      charger_listed = true;
      if (ReadLine(base + "online") == "1") charger_online = true;
    }
  }
  if (!battery) return false;
  if (charger_listed) return !charger_online;
  return discharging;
}

PowerState ReadPowerState(const std::string& root, bool shared_memory) {
  PowerState state;
  state.on_battery = OnBatteryPower(root);
  state.remote_session = !shared_memory;
  return state;
}
