#pragma once
// General registry access on any root, key path and value name: each member
// opens the key, does one thing and closes it again. Holds no state.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "registry/mdl_registro.h"

class cRegistro {
 public:
  // RegDeleteKeyA: true when the key was deleted. The platform refuses a key
  // that has subkeys; an empty path (the root itself) is refused here.
  bool DeleteKey(int32_t lPredefinedKey, const std::string& sKeyName) const;
  bool DeleteValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName) const;

  // Names of the key's subkeys (values), index 0 first. An empty sKeyName
  // works on the root itself, which is then left open. Returns the count,
  // 0 (vector empty) when there are none, -1 when the key cannot be queried
  // or some entry could not be read (its name stays empty).
  int32_t EnumKey(int32_t lPredefinedKey, const std::string& sKeyName, std::vector<std::string>& vSubKeys) const;
  int32_t EnumValue(int32_t lPredefinedKey, const std::string& sKeyName, std::vector<std::string>& vValues) const;

  bool SetValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName,
                const mdlRegistro::RegVariant& vValueSetting, int32_t lValueType) const;
  mdlRegistro::RegVariant QueryValue(int32_t lPredefinedKey, const std::string& sKeyName,
                                     const std::string& sValueName) const;
  bool CreateNewKey(int32_t lPredefinedKey, const std::string& sNewKeyName) const;

  // The root keys. (The platform's header defines the plain upper-case
  // names as macros, so these carry a mixed-case spelling.)
  int32_t HKey_Users() const { return mdlRegistro::kHKeyUsers; }
  int32_t HKey_Local_Machine() const { return mdlRegistro::kHKeyLocalMachine; }
  int32_t HKey_Current_User() const { return mdlRegistro::kHKeyCurrentUser; }
  int32_t HKey_Classes_Root() const { return mdlRegistro::kHKeyClassesRoot; }
};
