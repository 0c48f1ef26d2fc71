#include "tests/fakes/fakes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "platform/codepage.h"
#include "platform/error.h"

namespace tf {

bool FakeSystemInfo::isWow64() {
  if (wow64Fails) throw Error("Acceso denegado");
  return wow64;
}

bool FakeSystemInfo::localeCountryCode(std::string& code, std::string& error) {
  if (countryFails) {
    error = "Parámetro incorrecto";
    return false;
  }
  code = country;
  return true;
}

namespace {
class FakeMutex : public NamedMutex {
 public:
  explicit FakeMutex(FakeLogSink& s) : s_(s) {}
  bool lock(unsigned maxMs) override {
    ++s_.locks;
    s_.waits.push_back(maxMs);
    return !s_.mutexHeldElsewhere;
  }
  void unlock() override { ++s_.unlocks; }

 private:
  FakeLogSink& s_;
};
}  // namespace

NamedMutex* FakeLogSink::createMutex(const std::string& name) {
  if (mutexFails) return nullptr;
  mutexNames.push_back(name);
  return new FakeMutex(*this);
}

bool FakeLogSink::appendToFile(const std::string& path, const std::string& bytes) {
  for (const auto& f : readOnlyFolders)
    if (path.compare(0, f.size(), f) == 0) return false;
  files[path] += bytes;
  return true;
}

std::vector<std::string> FakeLogSink::lines(const std::string& path) const {
  std::vector<std::string> out;
  auto it = files.find(path);
  if (it == files.end()) return out;
  const std::string& s = it->second;
  size_t start = 0;
  for (size_t p; (p = s.find("\r\n", start)) != std::string::npos; start = p + 2) out.push_back(s.substr(start, p - start));
  if (start < s.size()) out.push_back(s.substr(start));
  return out;
}

// ---- FakeFiles ----

std::string FakeFiles::key(const std::string& path) {
  std::string k;
  for (char c : path) k += c == '/' ? '\\' : (char)lowerCp1252((unsigned char)c);
  while (k.size() > 3 && k.back() == '\\') k.pop_back();
  if (k.size() == 2 && k[1] == ':') k += '\\';
  return k;
}

std::string FakeFiles::parentOf(const std::string& path) {
  std::string k = key(path);
  size_t cut = k.find_last_of('\\');
  if (cut == std::string::npos || k.size() <= 3) return {};
  std::string p = k.substr(0, cut);
  if (p.size() == 2 && p[1] == ':') p += '\\';
  return p;
}

void FakeFiles::put(const std::string& path, const std::string& data, bool readOnly) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  createFolders(parentOf(path));
  Node n;
  n.data = data;
  n.readOnly = readOnly;
  nodes[key(path)] = {path, n};
}

void FakeFiles::link(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  createFolders(parentOf(path));
  Node n;
  n.folder = true;
  n.reparse = true;
  nodes[key(path)] = {path, n};
}

bool FakeFiles::has(const std::string& path) const {
  std::lock_guard<std::recursive_mutex> lock(guard);
  return nodes.count(key(path)) != 0;
}

std::string FakeFiles::content(const std::string& path) const {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto it = nodes.find(key(path));
  return it == nodes.end() ? std::string() : it->second.second.data;
}

std::vector<std::string> FakeFiles::paths() const {
  std::lock_guard<std::recursive_mutex> lock(guard);
  std::vector<std::string> out;
  for (const auto& n : nodes) out.push_back(n.second.first);
  return out;
}

// The system takes "*" and "?" in a path for wildcards, never for a name: such a path names nothing.
static bool hasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

bool FakeFiles::fileExists(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (hasWildcard(path)) return false;
  auto it = nodes.find(key(path));
  return it != nodes.end() && !it->second.second.folder;
}

bool FakeFiles::folderExists(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  std::string k = key(path);
  if (hasWildcard(k)) return false;
  if (k.size() == 3 && k[1] == ':') return true;  // drive roots always exist
  auto it = nodes.find(k);
  return it != nodes.end() && it->second.second.folder;
}

static bool wildMatch(const char* p, const char* s) {
  if (*p == 0) return *s == 0;
  if (*p == '*') return wildMatch(p + 1, s) || (*s && wildMatch(p, s + 1));
  if (*s && (*p == '?' || lowerCp1252((unsigned char)*p) == lowerCp1252((unsigned char)*s)))
    return wildMatch(p + 1, s + 1);
  return false;
}

bool FakeFiles::list(const std::string& pattern, std::vector<FileEntry>& out) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  out.clear();
  size_t cut = pattern.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? current : pattern.substr(0, cut + 1);
  std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  if (mask == "*.*") mask = "*";
  std::string fk = key(folder);
  if (!folderExists(fk)) return false;
  bool root = fk.size() == 3 && fk[1] == ':';
  if (!root && wildMatch(mask.c_str(), ".")) {
    FileEntry dot;
    dot.name = ".";
    dot.isFolder = true;
    out.push_back(dot);
    dot.name = "..";
    out.push_back(dot);
  }
  for (const auto& n : nodes) {
    if (parentOf(n.first) != fk || n.first == fk) continue;
    const std::string& shown = n.second.first;
    size_t c = shown.find_last_of("\\/");
    std::string name = c == std::string::npos ? shown : shown.substr(c + 1);
    if (!wildMatch(mask.c_str(), name.c_str())) continue;
    FileEntry e;
    e.name = name;
    e.isFolder = n.second.second.folder;
    e.isReparsePoint = n.second.second.reparse;
    e.readOnly = n.second.second.readOnly;
    // Stored names are the program's text: a "?" stands where the system's name has a character
    // the code page lacks, as the Win32 listing shows it.
    e.nameNotRepresentable = !isPlainEntryName(name);
    e.sizeLow = (uint32_t)n.second.second.data.size();
    out.push_back(e);
  }
  return !out.empty();
}

std::string FakeFiles::storedName(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (hasWildcard(path)) return {};
  std::string k = key(path);
  for (const auto& s : shortNames)
    if (key(s.second) == k) k = key(s.first);
  auto it = nodes.find(k);
  return it == nodes.end() ? std::string() : it->second.first.substr(it->second.first.find_last_of('\\') + 1);
}

bool FakeFiles::deleteFile(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (hasWildcard(path)) return false;
  auto it = nodes.find(key(path));
  if (it == nodes.end() || it->second.second.readOnly) return false;
  if (it->second.second.folder && !it->second.second.reparse) return false;
  nodes.erase(it);
  return true;
}

bool FakeFiles::removeFolder(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (hasWildcard(path)) return false;
  std::string k = key(path);
  auto it = nodes.find(k);
  if (it == nodes.end() || !it->second.second.folder) return false;
  for (const auto& n : nodes)
    if (parentOf(n.first) == k && n.first != k) return false;
  nodes.erase(it);
  return true;
}

bool FakeFiles::createFolders(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  std::string k = key(path);
  if (k.empty()) return false;
  if (folderExists(k)) return true;
  if (nodes.count(k)) return false;  // a file is in the way
  std::string parent = parentOf(path);
  if (!parent.empty() && !createFolders(parent)) return false;
  Node n;
  n.folder = true;
  std::string shown = path;
  while (shown.size() > 3 && (shown.back() == '\\' || shown.back() == '/')) shown.pop_back();
  nodes[k] = {shown, n};
  return true;
}

bool FakeFiles::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (!fileExists(from) || (failIfExists && has(to)) || !folderExists(parentOf(to))) return false;
  auto it = nodes.find(key(to));
  if (it != nodes.end() && (it->second.second.readOnly || it->second.second.folder)) return false;
  Node n = nodes[key(from)].second;
  n.readOnly = false;
  nodes[key(to)] = {to, n};
  return true;
}

bool FakeFiles::moveFile(const std::string& from, const std::string& to, bool replace) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto src = nodes.find(key(from));
  if (src == nodes.end() || hasWildcard(from + to) || !folderExists(parentOf(to))) return false;
  auto dst = nodes.find(key(to));
  if (dst != nodes.end() && (!replace || dst->second.second.readOnly || dst->second.second.folder)) return false;
  Node n = src->second.second;
  const std::string desde = key(from) + "\\", hasta = key(to) + "\\";
  nodes.erase(src);
  nodes[key(to)] = {to, n};
  // A folder takes what it holds along.
  std::vector<std::pair<std::string, std::pair<std::string, Node>>> hijos;
  for (auto it = nodes.begin(); it != nodes.end();) {
    if (it->first.compare(0, desde.size(), desde) == 0) {
      std::string resto = it->second.first.substr(desde.size());
      hijos.push_back({hasta + it->first.substr(desde.size()), {to + "\\" + resto, it->second.second}});
      it = nodes.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& h : hijos) nodes[h.first] = h.second;
  return true;
}

bool FakeFiles::readFile(const std::string& path, std::string& out) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (!fileExists(path)) return false;
  out = content(path);
  return true;
}

bool FakeFiles::writeFile(const std::string& path, const std::string& data) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto f = createFile(path);
  return f && f->write(data.data(), data.size()) && f->close();
}

namespace {
class FakeOutput : public OutputFile {
 public:
  FakeOutput(FakeFiles& fs, std::string k) : fs_(fs), k_(std::move(k)) {}
  bool write(const void* data, size_t n) override {
    std::lock_guard<std::recursive_mutex> lock(fs_.guard);
    auto it = fs_.nodes.find(k_);
    if (it == fs_.nodes.end() || n > fs_.room) return false;
    fs_.room -= n;
    it->second.second.data.append(static_cast<const char*>(data), n);
    return true;
  }
  bool close() override { return true; }

 private:
  FakeFiles& fs_;
  std::string k_;
};

class FakeInput : public InputFile {
 public:
  explicit FakeInput(std::string data) : data_(std::move(data)) {}
  long long read(void* out, size_t n) override {
    size_t k = std::min(n, data_.size() - pos_);
    std::memcpy(out, data_.data() + pos_, k);
    pos_ += k;
    return (long long)k;
  }
  uint64_t size() override { return data_.size(); }
  bool seek(uint64_t offset) override {
    if (offset > data_.size()) return false;
    pos_ = (size_t)offset;
    return true;
  }

 private:
  std::string data_;
  size_t pos_ = 0;
};
}  // namespace

std::unique_ptr<OutputFile> FakeFiles::createFile(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  std::string k = key(path);
  auto it = nodes.find(k);
  if (it != nodes.end() && (it->second.second.readOnly || it->second.second.folder)) return nullptr;
  if (!folderExists(parentOf(path))) return nullptr;
  Node n;
  nodes[k] = {path, n};
  return std::make_unique<FakeOutput>(*this, k);
}

std::unique_ptr<InputFile> FakeFiles::openRead(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (!fileExists(path)) return nullptr;
  return std::make_unique<FakeInput>(content(path));
}

bool FakeFiles::setReadOnly(const std::string& path, bool readOnly) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto it = nodes.find(key(path));
  if (it == nodes.end()) return false;
  it->second.second.readOnly = readOnly;
  return true;
}

bool FakeFiles::clearReadOnlyAndHidden(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto it = nodes.find(key(path));
  if (it == nodes.end()) return false;
  it->second.second.readOnly = false;
  it->second.second.hidden = false;
  return true;
}

bool FakeFiles::fileSize(const std::string& path, uint64_t& size) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  if (!fileExists(path)) return false;
  size = content(path).size();
  return true;
}

bool FakeFiles::lastWriteTime(const std::string& path, LocalTime& t) {
  std::lock_guard<std::recursive_mutex> lock(guard);
  auto it = nodes.find(key(path));
  if (it == nodes.end() || hasWildcard(path)) return false;
  t = it->second.second.time;
  return true;
}

}  // namespace tf
