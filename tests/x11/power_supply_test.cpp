#include "power_supply.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// A power_supply folder as the kernel lays it out: one folder per supply
// with one small file per attribute, each ending in a newline.
class PowerFolder {
 public:
  PowerFolder() {
    char tmpl[] = "/tmp/qrv_power_XXXXXX";
    root_ = mkdtemp(tmpl);
  }
  ~PowerFolder() { fs::remove_all(root_); }
  void Add(const std::string& name, const std::map<std::string, std::string>& attrs) {
    fs::create_directories(root_ + "/" + name);
    for (const auto& [k, v] : attrs) std::ofstream(root_ + "/" + name + "/" + k) << v << "\n";
  }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

TEST(PowerSupply, ReadsTheSuppliesAsTheKernelListsThem) {
  using Attrs = std::map<std::string, std::string>;
  struct Supply {
    const char* name;
    Attrs attrs;
  };
  struct Case {
    const char* what;
    std::vector<Supply> supplies;
    bool on_battery;
  };
  const Attrs ac_on{{"type", "Mains"}, {"online", "1"}};
  const Attrs ac_off{{"type", "Mains"}, {"online", "0"}};
  const Attrs bat_dis{{"type", "Battery"}, {"status", "Discharging"}, {"scope", "System"}};
  const Attrs bat_full{{"type", "Battery"}, {"status", "Full"}};
  const Attrs bat_nc{{"type", "Battery"}, {"status", "Not charging"}};
  const Attrs mouse{{"type", "Battery"}, {"status", "Discharging"}, {"scope", "Device"}};
  const Case cases[] = {
      {"desktop without supplies", {}, false},
      {"laptop on its charger", {{"AC", ac_on}, {"BAT0", bat_full}}, false},
      {"laptop unplugged", {{"AC", ac_off}, {"BAT0", bat_dis}}, true},
      {"unplugged, battery reports not charging", {{"AC", ac_off}, {"BAT0", bat_nc}}, true},
      {"USB-C charger online", {{"ucsi-source-psy-1", {{"type", "USB"}, {"online", "1"}}}, {"BAT0", bat_dis}}, false},
      {"two chargers, one online", {{"AC", ac_off}, {"ADP1", ac_on}, {"BAT0", bat_dis}}, false},
      {"no charger listed, discharging", {{"BAT1", bat_dis}}, true},
      {"no charger listed, full", {{"BAT1", bat_full}}, false},
      {"desktop with a wireless mouse", {{"hidpp_battery_0", mouse}}, false},
      {"desktop, charger listed, mouse on battery", {{"AC", ac_off}, {"hidpp_battery_0", mouse}}, false},
      {"a supply without a type", {{"weird", {{"online", "0"}}}, {"BAT0", bat_full}}, false},
  };
  for (const Case& c : cases) {
    PowerFolder folder;
    for (const Supply& s : c.supplies) folder.Add(s.name, s.attrs);
    EXPECT_EQ(OnBatteryPower(folder.root()), c.on_battery) << c.what;
    // The state handed to the core: the same reading, and a display that
    // shares our memory is local.
    const PowerState local = ReadPowerState(folder.root(), true);
    EXPECT_EQ(local.on_battery, c.on_battery) << c.what;
    EXPECT_FALSE(local.remote_session) << c.what;
    EXPECT_FALSE(local.battery_saver) << c.what;
  }
}

TEST(PowerSupply, MissingFolderMeansMains) { EXPECT_FALSE(OnBatteryPower("/nonexistent/power_supply")); }

TEST(PowerSupply, DisplayWithoutSharedMemoryIsARemoteSession) {
  PowerFolder mains;
  mains.Add("AC", {{"type", "Mains"}, {"online", "1"}});
  const PowerState remote = ReadPowerState(mains.root(), false);
  EXPECT_TRUE(remote.remote_session);
  EXPECT_FALSE(remote.on_battery);
  // ... which the core's rule limits as it limits a battery.
  EXPECT_EQ(ChooseDrawLimits(remote), (DrawLimits{kSavingMaxFps, kSavingRenderScale}));
  EXPECT_EQ(ChooseDrawLimits(ReadPowerState(mains.root(), true)), DrawLimits{});
}

}  // namespace
