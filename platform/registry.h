// Registry port: the keys the installer keeps (installed-programs entry, the machine's Path).
// Key paths and texts are Windows-1252; paths use "\" and never start with one.
//
// Registry view: keys are opened in the view of the running program, without choosing another.
// The shipped program is 32-bit, so on 64-bit Windows it sees HKEY_LOCAL_MACHINE\SOFTWARE
// redirected to the 32-bit view (stored under SOFTWARE\Wow6432Node). Callers that want the 32-bit
// entry on 64-bit Windows name "SOFTWARE\Wow6432Node\..." themselves: from a 32-bit process that
// path reaches the same 32-bit key (it is not nested once more), and from a 64-bit process it is
// that key's real location. SYSTEM\CurrentControlSet (the Path) is shared by both views.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tf {

enum class RegistryRoot { LocalMachine, CurrentUser };

// Rights asked for when opening: Read lists and reads; Write sets values and deletes subkeys;
// ReadWrite does both.
enum class RegistryAccess { Read, Write, ReadWrite };

enum class RegistryType { None, String, ExpandString, Number, Other };

struct RegistryValue {
  RegistryType type = RegistryType::None;  // None: no such value
  std::string text;                        // String and ExpandString, as stored (not expanded)
  uint32_t number = 0;                     // Number
  // False when the stored text holds characters Windows-1252 lacks: they read as "?", so the
  // text must not be written back in place of the original.
  bool exact = true;
};

// An open key; destruction closes it.
// Writes throw Error carrying the system's text when they fail: a key that opened but refuses
// a value is a failure the run cannot go on from, and the caller need not test every write.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The value `name` ("" = the key's default value); type None when it does not exist. Throws
  // Error with the system's text when it exists but cannot be read (say, the key was opened for
  // writing only), so an unreadable value is never taken for a missing one.
  virtual RegistryValue read(const std::string& name) = 0;
  virtual void writeString(const std::string& name, const std::string& text) = 0;        // REG_SZ
  virtual void writeExpandString(const std::string& name, const std::string& text) = 0;  // REG_EXPAND_SZ
  virtual void writeNumber(const std::string& name, uint32_t value) = 0;                 // REG_DWORD
  // Names of the direct subkeys, in the registry's order. Names Windows-1252 cannot hold are
  // left out (no key by such a name could be opened through this port). False when listing fails.
  virtual bool subkeyNames(std::vector<std::string>& out) = 0;
  // Deletes the direct subkey `name` with its values; false when it is missing, has subkeys of
  // its own, or the rights are lacking (the registry is then unchanged).
  virtual bool deleteSubkey(const std::string& name) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // An existing key; nullptr when it is missing or the rights are refused.
  virtual std::unique_ptr<RegistryKey> open(RegistryRoot root, const std::string& path, RegistryAccess access) = 0;
  // The key opened for reading and writing, created with its missing parents first;
  // nullptr when it can be neither opened nor created.
  virtual std::unique_ptr<RegistryKey> create(RegistryRoot root, const std::string& path) = 0;
};

}  // namespace tf
