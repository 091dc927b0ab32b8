#include "settings/first_run.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// An in-memory store that records every call in the order it was made.
class RecordingSettings : public SettingsPort {
 public:
  std::map<std::string, std::string> values;
  std::vector<std::string> calls;

  std::string ReadSetting(const std::string& app, const std::string& name) override {
    calls.push_back("read " + app + " " + name);
    auto it = values.find(name);
    return it == values.end() ? "" : it->second;
  }
  std::string WriteSetting(const std::string& app, const std::string& name, const std::string& value) override {
    calls.push_back("write " + app + " " + name + "=" + value);
    values[name] = value;
    return "True";
  }
  std::string CreateSettingsKey(const std::string& app) override {
    calls.push_back("create " + app);
    return "True";
  }
};

const std::vector<std::string> kFirstRunCalls = {
    "read VMSRC16 InsKo",
    "create VMSRC16",
    "write VMSRC16 EnableSound=1",
    "write VMSRC16 FileID=(Default)",
    "write VMSRC16 SoundMCI=1",
    "write VMSRC16 SoundID=Sandstorm",
    "write VMSRC16 SoundRND=1",
    "write VMSRC16 UseBackGround=0",
    "write VMSRC16 InsKo=regkoinic",
};

}  // namespace

TEST(FirstRun, EmptyStoreGetsKeyDefaultsAndMarkerLast) {
  RecordingSettings store;
  EnsureSettingsInitialised(store);
  EXPECT_EQ(store.calls, kFirstRunCalls);
}

TEST(FirstRun, MissingMarkerOverwritesTheUsersChoices) {
  RecordingSettings store;
  store.values = {{"EnableSound", "0"}, {"FileID", "Waves"}, {"SoundMCI", "0"},
                  {"SoundID", "C:\\music\\a.mp3"}, {"SoundRND", "0"}, {"UseBackGround", "1"}};
  EnsureSettingsInitialised(store);
  EXPECT_EQ(store.calls, kFirstRunCalls);
  const std::map<std::string, std::string> defaults = {
      {"EnableSound", "1"}, {"FileID", "(Default)"}, {"SoundMCI", "1"}, {"SoundID", "Sandstorm"},
      {"SoundRND", "1"},    {"UseBackGround", "0"},  {"InsKo", "regkoinic"}};
  EXPECT_EQ(store.values, defaults);
}

TEST(FirstRun, AnyNonEmptyMarkerLeavesTheStoreAlone) {
  for (const char* marker : {"regkoinic", "0", " ", "x"}) {
    RecordingSettings store;
    store.values = {{"InsKo", marker}, {"EnableSound", "0"}};
    const auto before = store.values;
    EnsureSettingsInitialised(store);
    EXPECT_EQ(store.calls, std::vector<std::string>{"read VMSRC16 InsKo"}) << '"' << marker << '"';
    EXPECT_EQ(store.values, before);
  }
}
