#pragma once
// Registry procedures under the settings store and the registry class: open a
// key, do one thing, close it. ANSI entry points throughout; every key is
// opened with the access mask 0x3F, never with full access.
#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>

#include "shared/handles.h"

namespace mdlRegistro {

// Root keys as the 32-bit handle values that callers pass around.
inline constexpr int32_t kHKeyClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kHKeyCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kHKeyLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kHKeyUsers = static_cast<int32_t>(0x80000003u);

// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS
// | KEY_NOTIFY | KEY_CREATE_LINK.
inline constexpr REGSAM kKeyAccess = 0x3F;

// Status returned by QueryValueEx for a value of a type the layer does not
// handle, and by SetValueEx for such a type (nothing is written then).
inline constexpr LONG kUnsupportedType = -1;

// A 32-bit root or key handle value as the platform's handle type.
HKEY ToHKey(int32_t key);

// A registry value as it travels through the layer: nothing, a 32-bit
// integer (REG_DWORD) or a text (REG_SZ).
class RegVariant {
 public:
  RegVariant() = default;
  RegVariant(int32_t number) : v_(number) {}
  RegVariant(std::string text) : v_(std::move(text)) {}
  RegVariant(const char* text) : v_(std::string(text)) {}

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsLong() const { return std::holds_alternative<int32_t>(v_); }
  bool IsString() const { return std::holds_alternative<std::string>(v_); }
  // Only meaningful when IsLong() / IsString(); 0 and "" otherwise.
  int32_t Long() const;
  const std::string& String() const;

  // As text: "" when empty, the decimal digits of a number, the text itself.
  std::string ToText() const;
  // As a 32-bit integer: 0 when empty, the number itself, or the whole-number
  // text (blanks around it allowed). False for a text that is no 32-bit
  // whole number.
  bool ToLong(int32_t* out) const;

  bool operator==(const RegVariant& other) const { return v_ == other.v_; }
  bool operator!=(const RegVariant& other) const { return v_ != other.v_; }

 private:
  std::variant<std::monostate, int32_t, std::string> v_;
};

// Owns one opened key and closes it when it goes out of scope. A handle equal
// to the root it was opened from (an empty path) is not closed.
using KeyHandle = ::KeyHandle;

// RegOpenKeyExA(root, path, 0, 0x3F). The status is deliberately not
// reported: a failed open leaves handle 0, and the next call on it fails
// with its own status, which then decides the operation's result.
KeyHandle OpenKey(int32_t lPredefinedKey, const std::string& sKeyName);

// Writes one value on an open key: type 1 (REG_SZ) as text with a size that
// counts its terminating NUL, type 4 (REG_DWORD) as a
// 32-bit integer. Returns the platform's status; kUnsupportedType for any
// other type and ERROR_INVALID_DATA for a REG_DWORD whose variant is no
// 32-bit whole number, writing nothing in both cases.
LONG SetValueEx(HKEY hKey, const std::string& sValueName, int32_t lValueType, const RegVariant& vValue);

// Reads one value of an open key into vValue (emptied first). Returns the
// status of the read; kUnsupportedType (value empty) for types other than
// REG_SZ and REG_DWORD.
LONG QueryValueEx(HKEY hKey, const std::string& sValueName, RegVariant& vValue);

// Creates the key with every missing key above it, or opens an existing one,
// and closes it again. True when the platform returned 0.
bool CreateNewKey(int32_t lPredefinedKey, const std::string& sNewKeyName);

// Opens the existing key (never creates it), writes one value, closes it.
// True when the write returned 0.
bool SetKeyValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName,
                 const RegVariant& vValueSetting, int32_t lValueType);

// Opens the key, reads one value, closes it. Empty when the key or the value
// is missing, of an unsupported type, or cannot be read.
RegVariant QueryValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName);

}  // namespace mdlRegistro
