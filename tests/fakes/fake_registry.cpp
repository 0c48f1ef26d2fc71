#include "tests/fakes/fake_registry.h"

#include "platform/codepage.h"
#include "platform/error.h"

namespace tf {

namespace {

std::string upper(const std::string& s) {
  std::string u;
  for (unsigned char c : s) u += (char)upperCp1252(c);
  return u;
}

bool inList(const std::vector<std::string>& list, const std::string& path) {
  for (const auto& p : list)
    if (FakeRegistry::norm(RegistryRoot::LocalMachine, p) == FakeRegistry::norm(RegistryRoot::LocalMachine, path))
      return true;
  return false;
}

class FakeKey : public RegistryKey {
 public:
  FakeKey(FakeRegistry& reg, RegistryRoot root, std::string path, RegistryAccess access)
      : reg_(reg), root_(root), path_(std::move(path)), access_(access) {}

  RegistryValue read(const std::string& name) override {
    if (access_ == RegistryAccess::Write) throw Error("Acceso denegado");
    const RegistryValue* v = reg_.value(root_, path_, name);
    return v ? *v : RegistryValue();
  }
  void writeString(const std::string& name, const std::string& text) override {
    write(name, RegistryType::String, text, 0);
  }
  void writeExpandString(const std::string& name, const std::string& text) override {
    write(name, RegistryType::ExpandString, text, 0);
  }
  void writeNumber(const std::string& name, uint32_t value) override { write(name, RegistryType::Number, "", value); }

  bool subkeyNames(std::vector<std::string>& out) override {
    out.clear();
    std::string self = FakeRegistry::norm(root_, path_);
    if (access_ == RegistryAccess::Write || !reg_.keys.count(self)) return false;
    for (const auto& k : reg_.keys) {
      const std::string& n = k.first;
      if (n.size() <= self.size() + 1 || n.compare(0, self.size(), self) != 0 || n[self.size()] != '\\') continue;
      if (n.find('\\', self.size() + 1) != std::string::npos) continue;
      const std::string& shown = k.second.path;
      out.push_back(shown.substr(shown.find_last_of('\\') + 1));
    }
    return true;
  }

  bool deleteSubkey(const std::string& name) override {
    if (name.empty() || name.find('\\') != std::string::npos) return false;
    std::string childPath = path_.empty() ? name : path_ + "\\" + name;
    std::string child = FakeRegistry::norm(root_, childPath);
    if (!reg_.keys.count(child) || reg_.isRefused(childPath)) return false;
    auto below = reg_.keys.lower_bound(child + "\\");
    if (below != reg_.keys.end() && below->first.compare(0, child.size() + 1, child + "\\") == 0) return false;
    reg_.keys.erase(child);
    return true;
  }

 private:
  void write(const std::string& name, RegistryType type, const std::string& text, uint32_t number) {
    if (access_ == RegistryAccess::Read || reg_.isReadOnly(path_)) throw Error("Acceso denegado");
    if (!reg_.hasKey(root_, path_)) throw Error("La clave ya no existe");
    RegistryValue v;
    v.type = type;
    v.text = text;
    v.number = number;
    reg_.put(root_, path_, name, v);
    reg_.writes.push_back({root_, path_, name, type});
  }

  FakeRegistry& reg_;
  RegistryRoot root_;
  std::string path_;
  RegistryAccess access_;
};

}  // namespace

std::string FakeRegistry::norm(RegistryRoot root, const std::string& path) {
  std::string p = upper(path);
  while (!p.empty() && p.back() == '\\') p.pop_back();
  return (root == RegistryRoot::CurrentUser ? "U" : "M") + (p.empty() ? std::string() : "\\" + p);
}

bool FakeRegistry::isRefused(const std::string& path) const { return inList(refused, path); }
bool FakeRegistry::isReadOnly(const std::string& path) const { return inList(readOnly, path); }

void FakeRegistry::putKey(RegistryRoot root, const std::string& path) {
  std::string p = path;
  while (!p.empty() && p.back() == '\\') p.pop_back();
  for (size_t cut = 0; cut != std::string::npos;) {
    cut = p.find('\\', cut + 1);
    std::string part = p.substr(0, cut);
    std::string k = norm(root, part);
    if (!keys.count(k)) keys[k].path = part;
  }
  keys[norm(root, "")];  // the root itself always exists
}

void FakeRegistry::put(RegistryRoot root, const std::string& path, const std::string& name, const RegistryValue& v) {
  putKey(root, path);
  Key& key = keys[norm(root, path)];
  for (auto& existing : key.values)
    if (upper(existing.name) == upper(name)) {
      existing.value = v;
      return;
    }
  key.values.push_back({name, v});
}

bool FakeRegistry::hasKey(RegistryRoot root, const std::string& path) const {
  return path.empty() || keys.count(norm(root, path)) != 0;
}

const RegistryValue* FakeRegistry::value(RegistryRoot root, const std::string& path, const std::string& name) const {
  auto it = keys.find(norm(root, path));
  if (it == keys.end()) return nullptr;
  for (const auto& v : it->second.values)
    if (upper(v.name) == upper(name)) return &v.value;
  return nullptr;
}

std::unique_ptr<RegistryKey> FakeRegistry::open(RegistryRoot root, const std::string& path, RegistryAccess access) {
  if (!hasKey(root, path) || isRefused(path)) return nullptr;
  return std::make_unique<FakeKey>(*this, root, path, access);
}

std::unique_ptr<RegistryKey> FakeRegistry::create(RegistryRoot root, const std::string& path) {
  if (isRefused(path)) return nullptr;
  putKey(root, path);
  return std::make_unique<FakeKey>(*this, root, path, RegistryAccess::ReadWrite);
}

}  // namespace tf
