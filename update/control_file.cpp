#include "update/control_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "core/texto.h"

namespace tf {

namespace {

std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t p; (p = s.find(sep, start)) != std::string::npos; start = p + 1) out.push_back(s.substr(start, p - start));
  out.push_back(s.substr(start));
  return out;
}

bool parseUnsigned(const std::string& t, uint32_t& out) {
  if (t.empty() || t.size() > 10) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (uint32_t)(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  out = (uint32_t)v;
  return true;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int y, int m) {
  static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : d[m - 1];
}

}  // namespace

// ---- profile text ----

IniText::IniText(const std::string& text) {
  std::map<std::string, std::string>* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = minusculas(trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      current = &sections_[name];
      continue;
    }
    size_t eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    std::string key = minusculas(trim(line.substr(0, eq)));
    std::string value = trim(line.substr(eq + 1));
    // The system's profile reader drops one pair of enclosing quotes.
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    current->emplace(key, value);  // the first occurrence wins
  }
}

bool IniText::hasSection(const std::string& section) const { return sections_.count(minusculas(section)) != 0; }

std::vector<std::string> IniText::sectionNames() const {
  std::vector<std::string> out;
  for (const auto& s : sections_) out.push_back(s.first);
  return out;
}

std::string IniText::readString(const std::string& section, const std::string& key, const std::string& def) const {
  auto s = sections_.find(minusculas(section));
  if (s == sections_.end()) return def;
  auto k = s->second.find(minusculas(key));
  return k == s->second.end() ? def : k->second;
}

bool parseInt32(const std::string& text, int& out) {
  std::string t = trim(text);
  bool neg = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    neg = t[0] == '-';
    t = t.substr(1);
  }
  uint32_t v;
  if (!parseUnsigned(t, v)) return false;
  if (neg ? v > 2147483648u : v > 2147483647u) return false;
  out = neg ? (int)(-(int64_t)v) : (int)v;
  return true;
}

int IniText::readInteger(const std::string& section, const std::string& key, int def) const {
  int v;
  return parseInt32(readString(section, key, ""), v) ? v : def;
}

// ---- versions ----

FileVersion makeVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build) {
  FileVersion v;
  v.valid = true;
  v.hi = (int32_t)((major << 16) + minor);
  v.lo = (int32_t)((release << 16) + build);
  return v;
}

FileVersion parseVersion(const std::string& text) {
  std::string t = trim(text);
  if (t.empty()) return {};
  char sep = t.find(',') != std::string::npos ? ',' : '.';
  std::vector<std::string> parts = split(t, sep);
  if (parts.size() > 4) return {};
  uint32_t n[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < parts.size(); ++i)
    if (!parseUnsigned(trim(parts[i]), n[i])) return {};
  return makeVersion(n[0], n[1], n[2], n[3]);
}

std::string versionText(const FileVersion& v) {
  uint32_t hi = (uint32_t)v.hi, lo = (uint32_t)v.lo;
  return std::to_string(hi >> 16) + "." + std::to_string(hi & 0xFFFF) + "." + std::to_string(lo >> 16) + "." +
         std::to_string(lo & 0xFFFF);
}

// ---- dates ----

bool parseDate(const std::string& text, const DateSettings& s, LocalTime& out) {
  std::vector<std::string> parts = split(trim(text), s.dateSeparator);
  if (parts.size() != 3) return false;
  // The format only fixes the order of day, month and year.
  std::string f = minusculas(s.dateFormat);
  size_t pd = f.find('d'), pm = f.find('m'), py = f.find('y');
  if (pd == std::string::npos || pm == std::string::npos || py == std::string::npos) return false;
  int rank[3] = {0, 0, 0};  // position of day, month, year in the text
  rank[0] = (pd > pm) + (pd > py);
  rank[1] = (pm > pd) + (pm > py);
  rank[2] = (py > pd) + (py > pm);
  uint32_t v[3];
  for (int i = 0; i < 3; ++i)
    if (!parseUnsigned(trim(parts[rank[i]]), v[i])) return false;
  uint32_t day = v[0], month = v[1], year = v[2];
  if (year < 100) year += 2000;
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || (int)day > daysIn((int)year, (int)month))
    return false;
  out = LocalTime{};
  out.year = (int)year;
  out.month = (int)month;
  out.day = (int)day;
  return true;
}

bool parseTime(const std::string& text, const DateSettings& s, LocalTime& out) {
  std::vector<std::string> parts = split(trim(text), s.timeSeparator);
  if (parts.size() < 2 || parts.size() > 3) return false;
  uint32_t v[3] = {0, 0, 0};
  for (size_t i = 0; i < parts.size(); ++i)
    if (!parseUnsigned(trim(parts[i]), v[i])) return false;
  if (v[0] > 23 || v[1] > 59 || v[2] > 59) return false;
  out.hour = (int)v[0];
  out.minute = (int)v[1];
  out.second = (int)v[2];
  return true;
}

LocalTime controlMoment(const std::string& date, const std::string& time, const DateSettings& s) {
  LocalTime t;
  if (!parseDate(date, s, t)) t = LocalTime{};  // 1 January 1980, 00:00
  LocalTime tm = t;
  if (!time.empty() && parseTime(time, s, tm)) t = tm;
  return t;
}

int compareMoments(const LocalTime& a, const LocalTime& b) {
  const int av[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const int bv[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  for (int i = 0; i < 6; ++i)
    if (av[i] != bv[i]) return av[i] < bv[i] ? -1 : 1;
  return 0;
}

std::string formatDayMonthYear(const LocalTime& t) {
  char b[32];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", t.day, t.month, t.year);
  return b;
}

std::string formatHourMinute(const LocalTime& t) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d", t.hour, t.minute);
  return b;
}

// ---- checksums ----

namespace {
struct CrcTable {
  uint32_t t[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
  }
};
const CrcTable& crcTable() {
  static const CrcTable table;
  return table;
}
}  // namespace

uint32_t sumChecksum(const std::string& bytes, uint32_t start) {
  uint32_t c = start;
  for (unsigned char b : bytes) c += b;
  return c;
}

uint32_t crcVariantChecksumUpdate(const std::string& bytes, uint32_t c) {
  // Vendor control files carry numbers made this way: the table value is added, not assigned.
  const uint32_t* t = crcTable().t;
  for (unsigned char b : bytes) c += t[(b ^ c) & 255] ^ (c >> 8);
  return c;
}

uint32_t fileChecksum(Files& files, const std::string& path, bool useCrc32) {
  uint32_t c = 0xFFFFFFFFu;
  std::unique_ptr<InputFile> in = files.openRead(path);
  if (in) {
    std::string block(4096, '\0');
    for (;;) {
      long long n = in->read(&block[0], block.size());
      if (n <= 0) break;
      std::string got = block.substr(0, (size_t)n);
      c = useCrc32 ? crcVariantChecksumUpdate(got, c) : sumChecksum(got, c);
    }
  }
  return useCrc32 ? ~c : c;
}

// ---- path prefixes ----

std::string normalisePrefixFolder(std::string f) {
  if (!f.empty() && f.back() != '\\') f += '\\';
  if (f.size() > 3 && f[1] == ':') f.pop_back();
  else f += '.';
  return f;
}

std::string expandPrefixes(const std::string& text, const std::function<std::string(const std::string&)>& folderOf) {
  std::string s = text;
  size_t pos = 0;
  int replacements = 0;
  while (pos < s.size() && replacements < 64) {
    size_t open = s.find('{', pos);
    if (open == std::string::npos) break;
    size_t close = s.find('}', open + 1);
    if (close == std::string::npos) break;
    std::string folder = normalisePrefixFolder(folderOf(mayusculas(s.substr(open + 1, close - open - 1))));
    s.replace(open, close - open + 1, folder);
    pos = open;  // the inserted folder is scanned again
    ++replacements;
  }
  return s;
}

std::string fileNameFromUrl(const std::string& url) {
  std::string n = ultimoSegmentoURL(url);
  size_t p = n.rfind('?');
  return p == std::string::npos ? n : n.substr(p + 1);
}

std::vector<int> fileSectionNumbers(const IniText& ini, int count) {
  std::vector<int> out;
  for (const std::string& name : ini.sectionNames()) {
    // "file" and a decimal number as the program writes it: no sign, no leading zero.
    if (name.size() < 5 || name.compare(0, 4, "file") != 0 || name[4] == '0') continue;
    int n;
    if (name.find_first_not_of("0123456789", 4) == std::string::npos && parseInt32(name.substr(4), n) && n <= count)
      out.push_back(n);
  }
  std::sort(out.begin(), out.end());
  return out;
}

TFileDescription readFileEntry(const IniText& ini, int n, const std::function<std::string(const std::string&)>& expand) {
  std::string sec = "file" + std::to_string(n);
  TFileDescription d;
  d.URL = expand(ini.readString(sec, "url", ""));
  d.LocalVersion = expand(ini.readString(sec, "localversion", ""));
  d.NewVersion = ini.readString(sec, "newversion", "");
  d.NewSize = ini.readInteger(sec, "newsize", 0);
  d.NewCheckSum = ini.readInteger(sec, "newchecksum", -1);
  d.NewCustomVer = ini.readString(sec, "customversion", "");
  d.NewDate = ini.readString(sec, "date", "");
  d.NewTime = ini.readString(sec, "time", "");
  d.Description = ini.readString(sec, "descr", "");
  d.TargetDir = expand(ini.readString(sec, "targetdir", ""));
  if (!d.TargetDir.empty() && d.TargetDir.back() != '\\') d.TargetDir += '\\';
  d.Compressed = ini.readInteger(sec, "compressed", 0) == 1;
  d.FileSize = ini.readInteger(sec, "filesize", 0);
  d.Mandatory = ini.readInteger(sec, "mandatory", 0) == 1;
  d.Preselect = ini.readInteger(sec, "preselect", 1) == 1;
  d.Hidden = ini.readInteger(sec, "hidden", 0) == 1;
  return d;
}

}  // namespace tf
