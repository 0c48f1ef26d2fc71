// An in-memory registry: keys and value names compare without case, values keep their type,
// and every write through an opened key is recorded in order.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tf {

class FakeRegistry : public Registry {
 public:
  struct Value {
    std::string name;
    RegistryValue value;
  };
  struct Key {
    std::string path;  // as first created
    std::vector<Value> values;  // in the order first written
  };
  struct Write {
    RegistryRoot root;
    std::string path, name;
    RegistryType type;
  };

  // Set-up and inspection for tests: no refusals apply and nothing is recorded.
  void putKey(RegistryRoot root, const std::string& path);  // with its parents
  void put(RegistryRoot root, const std::string& path, const std::string& name, const RegistryValue& v);
  bool hasKey(RegistryRoot root, const std::string& path) const;
  // nullptr when the key or the value is missing.
  const RegistryValue* value(RegistryRoot root, const std::string& path, const std::string& name) const;

  std::vector<Write> writes;            // successful writes, in order
  std::vector<std::string> refused;     // key paths that cannot be opened, created or deleted
  std::vector<std::string> readOnly;    // key paths that open but refuse writes (they throw)

  std::unique_ptr<RegistryKey> open(RegistryRoot root, const std::string& path, RegistryAccess access) override;
  std::unique_ptr<RegistryKey> create(RegistryRoot root, const std::string& path) override;

  // Internal key of a path: root tag + upper-case path, no trailing "\"; "" path = the root.
  static std::string norm(RegistryRoot root, const std::string& path);
  bool isRefused(const std::string& path) const;
  bool isReadOnly(const std::string& path) const;
  std::map<std::string, Key> keys;
};

}  // namespace tf
