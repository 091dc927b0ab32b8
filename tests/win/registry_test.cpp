// The registry layer and the settings store against the real registry.
// Every test works below HKCU\Quorvane\QrvTest<pid> and removes it again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "registry/c_registro.h"
#include "registry/mdl_registro.h"
#include "registry/settings_store.h"
#include "settings/first_run.h"

using mdlRegistro::kHKeyCurrentUser;
using mdlRegistro::RegVariant;

namespace {

int32_t AsLong(HKEY key) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(key)); }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Writes a value with the raw API, any type and any bytes.
void RawSet(const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

// Type and stored size of a value, read with the raw API; false when missing.
bool RawInfo(const std::string& path, const std::string& name, DWORD* type, DWORD* size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// Subkey or value names at indexes 0, 1, ... as the raw API lists them.
std::vector<std::string> RawNames(const std::string& path, bool values) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD size = sizeof name;
    const LONG status = values ? RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                               : RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  RegCloseKey(key);
  return names;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = "QrvTest" + std::to_string(GetCurrentProcessId());
    base_ = "Quorvane\\" + app_;
    settings_ = base_ + "\\Settings";
    RemoveAll();
    ASSERT_FALSE(KeyExists(base_));
  }
  void TearDown() override {
    RemoveAll();
    EXPECT_FALSE(KeyExists(base_));
  }
  void RemoveAll() {
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
    // Refused while other programs' keys live below it, which is fine.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Quorvane");
  }

  std::string app_, base_, settings_;
  cRegistro reg_;
};

TEST_F(RegistryTest, TextsAndNumbersRoundTrip) {
  ASSERT_EQ(Module1::CreateSettingsKey(app_), "True");
  const std::string texts[] = {"abc", "1", " 01 ", "(Default)", "C:\\My Music\\a b.mp3", "trailing  ",
                               std::string(3000, 'x')};
  for (const std::string& text : texts) {
    EXPECT_EQ(Module1::WriteSetting(app_, "SoundID", text), "True");
    EXPECT_EQ(Module1::ReadSetting(app_, "SoundID"), text);
    EXPECT_EQ(mdlRegistro::QueryValue(kHKeyCurrentUser, settings_, "SoundID"), RegVariant(text));
    // Written with the terminator counted in the size, stored with one terminator.
    DWORD type = 0, size = 0;
    ASSERT_TRUE(RawInfo(settings_, "SoundID", &type, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, text.size() + 1) << text.substr(0, 20);
  }

  // An empty text is written and reads back as "".
  EXPECT_EQ(Module1::WriteSetting(app_, "FileID", ""), "True");
  DWORD type = 0, size = 0;
  EXPECT_TRUE(RawInfo(settings_, "FileID", &type, &size));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(Module1::ReadSetting(app_, "FileID"), "");
  EXPECT_EQ(mdlRegistro::QueryValue(kHKeyCurrentUser, settings_, "FileID").ToText(), "");

  // REG_DWORD values read as their decimal text.
  const struct { RegVariant written; const char* text; } numbers[] = {
      {1, "1"}, {0, "0"}, {-5, "-5"}, {INT32_MIN, "-2147483648"}, {"  42 ", "42"}, {RegVariant(), "0"}};
  for (const auto& n : numbers) {
    EXPECT_TRUE(mdlRegistro::SetKeyValue(kHKeyCurrentUser, settings_, "EnableSound", n.written, REG_DWORD));
    ASSERT_TRUE(RawInfo(settings_, "EnableSound", &type, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Module1::ReadSetting(app_, "EnableSound"), n.text);
    EXPECT_TRUE(mdlRegistro::QueryValue(kHKeyCurrentUser, settings_, "EnableSound").IsLong());
  }
}

TEST_F(RegistryTest, ValueNamesMatchWithoutRegardToCase) {
  ASSERT_EQ(Module1::CreateSettingsKey(app_), "True");
  EXPECT_EQ(Module1::WriteSetting(app_, "UseBackGround", "1"), "True");
  EXPECT_EQ(Module1::ReadSetting(app_, "UseBackground"), "1");
  EXPECT_EQ(Module1::ReadSetting(app_, "USEBACKGROUND"), "1");
  // A write under another spelling replaces the same value.
  EXPECT_EQ(Module1::WriteSetting(app_, "usebackground", "0"), "True");
  EXPECT_EQ(Module1::ReadSetting(app_, "UseBackGround"), "0");
  EXPECT_EQ(RawNames(settings_, true).size(), 1u);
  // Key paths too.
  EXPECT_EQ(Module1::ReadSetting("qrvtest" + std::to_string(GetCurrentProcessId()), "UseBackGround"), "0");
}

TEST_F(RegistryTest, OtherValueTypesAreRefused) {
  const struct { DWORD type; std::string bytes; } stored[] = {
      {REG_EXPAND_SZ, std::string("%TEMP%\0", 7)},
      {REG_BINARY, std::string("\x01\x02\x03", 3)},
      {REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
      {REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4)},
      {REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8)},
  };
  for (const auto& s : stored) {
    SCOPED_TRACE(s.type);
    RawSet(settings_, "SoundRND", s.type, s.bytes.data(), static_cast<DWORD>(s.bytes.size()));
    mdlRegistro::KeyHandle key = mdlRegistro::OpenKey(kHKeyCurrentUser, settings_);
    ASSERT_NE(key.get(), nullptr);
    RegVariant value = "stale";
    EXPECT_EQ(mdlRegistro::QueryValueEx(key.get(), "SoundRND", value), -1);
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(Module1::ReadSetting(app_, "SoundRND"), "");
  }

  // Writing them stores nothing and is not reported as success.
  for (int32_t type : {REG_EXPAND_SZ, REG_BINARY, REG_MULTI_SZ, REG_QWORD, 0}) {
    SCOPED_TRACE(type);
    mdlRegistro::KeyHandle key = mdlRegistro::OpenKey(kHKeyCurrentUser, settings_);
    EXPECT_NE(mdlRegistro::SetValueEx(key.get(), "Other", type, RegVariant("x")), ERROR_SUCCESS);
    EXPECT_FALSE(mdlRegistro::SetKeyValue(kHKeyCurrentUser, settings_, "Other", RegVariant("x"), type));
    EXPECT_FALSE(RawInfo(settings_, "Other", nullptr, nullptr));
  }
  // A REG_DWORD write of a text that is no 32-bit whole number stores nothing.
  for (const char* text : {"abc", "1.5", "", "4294967296", "12x"}) {
    EXPECT_FALSE(mdlRegistro::SetKeyValue(kHKeyCurrentUser, settings_, "Other", RegVariant(text), REG_DWORD))
        << text;
    EXPECT_FALSE(RawInfo(settings_, "Other", nullptr, nullptr));
  }
}

TEST_F(RegistryTest, OddStoredDataIsReadSafely) {
  // A REG_DWORD with eight bytes of data must not be read into four.
  const char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  RawSet(settings_, "Long", REG_DWORD, eight, sizeof eight);
  // A string value stored with no data at all.
  RawSet(settings_, "Empty", REG_SZ, "", 0);
  mdlRegistro::KeyHandle key = mdlRegistro::OpenKey(kHKeyCurrentUser, settings_);
  ASSERT_NE(key.get(), nullptr);

  RegVariant value = 7;
  EXPECT_EQ(mdlRegistro::QueryValueEx(key.get(), "Long", value), ERROR_MORE_DATA);
  EXPECT_TRUE(value.IsEmpty());

  value = 7;
  EXPECT_EQ(mdlRegistro::QueryValueEx(key.get(), "Empty", value), ERROR_SUCCESS);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_EQ(Module1::ReadSetting(app_, "Empty"), "");
}

TEST_F(RegistryTest, MissingKeyReadsEmptyAndAWriteCreatesNothing) {
  EXPECT_EQ(Module1::ReadSetting(app_, "InsKo"), "");
  EXPECT_TRUE(mdlRegistro::QueryValue(kHKeyCurrentUser, settings_, "InsKo").IsEmpty());
  EXPECT_EQ(Module1::WriteSetting(app_, "InsKo", "regkoinic"), "False");
  EXPECT_FALSE(mdlRegistro::SetKeyValue(kHKeyCurrentUser, settings_, "InsKo", RegVariant(1), REG_DWORD));
  EXPECT_FALSE(KeyExists(base_));

  // The failed open leaves handle 0; calls on it fail without touching any key.
  RegVariant value;
  EXPECT_EQ(mdlRegistro::SetValueEx(nullptr, "QrvNullWrite", REG_SZ, RegVariant("x")), ERROR_INVALID_HANDLE);
  EXPECT_EQ(mdlRegistro::QueryValueEx(nullptr, "QrvNullWrite", value), ERROR_INVALID_HANDLE);
  // The platform itself refuses handle 0 too, and writes nowhere.
  EXPECT_NE(RegSetValueExA(nullptr, "QrvNullWrite", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 1),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "QrvNullWrite", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);

  // An existing key without the value.
  ASSERT_EQ(Module1::CreateSettingsKey(app_), "True");
  EXPECT_EQ(Module1::ReadSetting(app_, "InsKo"), "");
  mdlRegistro::KeyHandle key = mdlRegistro::OpenKey(kHKeyCurrentUser, settings_);
  EXPECT_EQ(mdlRegistro::QueryValueEx(key.get(), "InsKo", value), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CreateNewKeyCreatesEveryMissingLevel) {
  const std::string deepest = base_ + "\\One\\Two";
  EXPECT_TRUE(mdlRegistro::CreateNewKey(kHKeyCurrentUser, deepest));
  EXPECT_TRUE(KeyExists(base_));
  EXPECT_TRUE(KeyExists(base_ + "\\One"));
  EXPECT_TRUE(KeyExists(deepest));
  // An existing key is opened, and its content stays.
  EXPECT_TRUE(mdlRegistro::SetKeyValue(kHKeyCurrentUser, deepest, "Kept", RegVariant("yes"), REG_SZ));
  EXPECT_TRUE(reg_.CreateNewKey(kHKeyCurrentUser, deepest));
  EXPECT_EQ(reg_.QueryValue(kHKeyCurrentUser, deepest, "Kept"), RegVariant("yes"));
  // A root that is no key.
  EXPECT_FALSE(mdlRegistro::CreateNewKey(0, base_ + "\\Nowhere"));
  EXPECT_FALSE(KeyExists(base_ + "\\Nowhere"));
}

// Runs the product's first-run initialisation on the real registry, with the
// application name moved to this test's own key.
class TestAppSettings : public SettingsPort {
 public:
  explicit TestAppSettings(std::string app) : app_(std::move(app)) {}
  std::string ReadSetting(const std::string& app, const std::string& name) override {
    EXPECT_EQ(app, kAppName);
    return real_.ReadSetting(app_, name);
  }
  std::string WriteSetting(const std::string& app, const std::string& name, const std::string& value) override {
    EXPECT_EQ(app, kAppName);
    return real_.WriteSetting(app_, name, value);
  }
  std::string CreateSettingsKey(const std::string& app) override {
    EXPECT_EQ(app, kAppName);
    return real_.CreateSettingsKey(app_);
  }

 private:
  std::string app_;
  RegistrySettings real_;
};

TEST_F(RegistryTest, FirstRunInitialisation) {
  TestAppSettings settings(app_);
  const std::map<std::string, std::string> defaults = {
      {"EnableSound", "1"}, {"FileID", "(Default)"}, {"SoundMCI", "1"}, {"SoundID", "Sandstorm"},
      {"SoundRND", "1"},    {"UseBackGround", "0"},  {"InsKo", "regkoinic"}};
  auto stored = [&] {
    std::map<std::string, std::string> values;
    for (const std::string& name : RawNames(settings_, true)) values[name] = Module1::ReadSetting(app_, name);
    return values;
  };

  EnsureSettingsInitialised(settings);
  EXPECT_EQ(stored(), defaults);

  // Initialised: the user's choice stays.
  EXPECT_EQ(Module1::WriteSetting(app_, "EnableSound", "0"), "True");
  EnsureSettingsInitialised(settings);
  EXPECT_EQ(Module1::ReadSetting(app_, "EnableSound"), "0");

  // Without the marker, the defaults come back over it.
  EXPECT_TRUE(reg_.DeleteValue(kHKeyCurrentUser, settings_, "InsKo"));
  EnsureSettingsInitialised(settings);
  EXPECT_EQ(stored(), defaults);

  // A removed key is created again.
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, settings_.c_str()), ERROR_SUCCESS);
  EnsureSettingsInitialised(settings);
  EXPECT_EQ(stored(), defaults);
}

TEST_F(RegistryTest, EnumKeyListsSubkeysByIndex) {
  const std::string parent = base_ + "\\Enum";
  for (const char* name : {"Gamma", "alpha", "Beta22", "x"}) ASSERT_TRUE(reg_.CreateNewKey(kHKeyCurrentUser, parent + "\\" + name));

  std::vector<std::string> names;
  EXPECT_EQ(reg_.EnumKey(kHKeyCurrentUser, parent, names), 4);
  EXPECT_EQ(names, RawNames(parent, false));
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"Beta22", "Gamma", "alpha", "x"}));

  names = {"stale"};
  EXPECT_EQ(reg_.EnumKey(kHKeyCurrentUser, parent + "\\alpha", names), 0);
  EXPECT_TRUE(names.empty());
  names = {"stale"};
  EXPECT_EQ(reg_.EnumKey(kHKeyCurrentUser, base_ + "\\Missing", names), -1);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryTest, EnumKeyWithEmptyPathWorksOnTheRootAndLeavesItOpen) {
  ASSERT_TRUE(reg_.CreateNewKey(kHKeyCurrentUser, base_ + "\\Sub"));
  std::vector<std::string> names;
  const int32_t count = reg_.EnumKey(reg_.HKey_Current_User(), "", names);
  EXPECT_GT(count, 0);
  EXPECT_EQ(names.size(), static_cast<size_t>(count));
  EXPECT_NE(std::find(names.begin(), names.end(), "Quorvane"), names.end());
  EXPECT_EQ(reg_.EnumKey(reg_.HKey_Current_User(), "", names), count);

  // The same on an ordinary open handle, which can really be closed.
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_READ, &raw), ERROR_SUCCESS);
  EXPECT_EQ(reg_.EnumKey(AsLong(raw), "", names), 1);
  EXPECT_EQ(names, std::vector<std::string>{"Sub"});
  EXPECT_EQ(reg_.EnumValue(AsLong(raw), "", names), 0);
  DWORD subkeys = 0;
  EXPECT_EQ(RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 1u);
  EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
}

TEST_F(RegistryTest, EnumValueListsNamesWhateverTheDataSize) {
  ASSERT_TRUE(reg_.CreateNewKey(kHKeyCurrentUser, settings_));
  EXPECT_TRUE(reg_.SetValue(kHKeyCurrentUser, settings_, "One", RegVariant("1"), REG_SZ));
  EXPECT_TRUE(reg_.SetValue(kHKeyCurrentUser, settings_, "TwoTwo", RegVariant(2), REG_DWORD));
  const std::string bytes(70000, '\x7f');
  RawSet(settings_, "Fits", REG_BINARY, bytes.data(), 500);

  std::vector<std::string> names;
  EXPECT_EQ(reg_.EnumValue(kHKeyCurrentUser, settings_, names), 3);
  EXPECT_EQ(names, RawNames(settings_, true));

  // Values with more data than any fixed scratch space are listed too.
  RawSet(settings_, "JustOver", REG_BINARY, bytes.data(), 501);
  RawSet(settings_, "Large", REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  EXPECT_TRUE(reg_.SetValue(kHKeyCurrentUser, settings_, "LongText", RegVariant(std::string(5000, 't')), REG_SZ));
  EXPECT_EQ(reg_.EnumValue(kHKeyCurrentUser, settings_, names), 6);
  const std::vector<std::string> expected = RawNames(settings_, true);
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(names, expected);

  EXPECT_EQ(reg_.EnumValue(kHKeyCurrentUser, base_, names), 0);
  EXPECT_EQ(reg_.EnumValue(kHKeyCurrentUser, base_ + "\\Missing", names), -1);
}

TEST_F(RegistryTest, DeleteKeyOnlyDeletesLeaves) {
  const std::string parent = base_ + "\\Parent";
  ASSERT_TRUE(reg_.CreateNewKey(kHKeyCurrentUser, parent + "\\Child"));
  EXPECT_FALSE(reg_.DeleteKey(kHKeyCurrentUser, parent));
  EXPECT_TRUE(KeyExists(parent + "\\Child"));

  EXPECT_TRUE(reg_.DeleteKey(kHKeyCurrentUser, parent + "\\Child"));
  EXPECT_FALSE(KeyExists(parent + "\\Child"));
  EXPECT_TRUE(KeyExists(parent));
  EXPECT_FALSE(reg_.DeleteKey(kHKeyCurrentUser, parent + "\\Child"));
  // An empty path names the key itself: refused, also on a leaf's own handle.
  EXPECT_FALSE(reg_.DeleteKey(kHKeyCurrentUser, ""));
  HKEY leaf = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (parent + "\\Leaf").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &leaf, nullptr),
            ERROR_SUCCESS);
  EXPECT_FALSE(reg_.DeleteKey(AsLong(leaf), ""));
  RegCloseKey(leaf);
  EXPECT_TRUE(KeyExists(parent + "\\Leaf"));
  EXPECT_TRUE(reg_.DeleteKey(kHKeyCurrentUser, parent + "\\Leaf"));

  EXPECT_TRUE(reg_.DeleteKey(kHKeyCurrentUser, parent));
  EXPECT_FALSE(KeyExists(parent));
}

TEST_F(RegistryTest, DeleteValue) {
  ASSERT_EQ(Module1::CreateSettingsKey(app_), "True");
  Module1::WriteSetting(app_, "FileID", "Waves");
  Module1::WriteSetting(app_, "SoundID", "Sandstorm");
  EXPECT_TRUE(reg_.DeleteValue(kHKeyCurrentUser, settings_, "fileid"));
  EXPECT_EQ(RawNames(settings_, true), std::vector<std::string>{"SoundID"});
  EXPECT_FALSE(reg_.DeleteValue(kHKeyCurrentUser, settings_, "FileID"));
  EXPECT_FALSE(reg_.DeleteValue(kHKeyCurrentUser, base_ + "\\Missing", "SoundID"));
  EXPECT_EQ(Module1::ReadSetting(app_, "SoundID"), "Sandstorm");
}

TEST(cRegistroRoots, AreThePlatformsRootKeys) {
  const cRegistro reg;
  EXPECT_EQ(mdlRegistro::ToHKey(reg.HKey_Classes_Root()), HKEY_CLASSES_ROOT);
  EXPECT_EQ(mdlRegistro::ToHKey(reg.HKey_Current_User()), HKEY_CURRENT_USER);
  EXPECT_EQ(mdlRegistro::ToHKey(reg.HKey_Local_Machine()), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(mdlRegistro::ToHKey(reg.HKey_Users()), HKEY_USERS);
}

}  // namespace
