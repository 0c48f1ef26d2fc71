// The update control file: profile text, versions, dates, checksums, path prefixes, file entries.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/ports.h"

namespace tf {

// Profile (INI) text parsed once. Section and key names compare without case; the first
// occurrence of a key wins, and a section named twice adds its keys to the first one.
class IniText {
 public:
  IniText() = default;
  explicit IniText(const std::string& text);
  bool hasSection(const std::string& section) const;
  std::vector<std::string> sectionNames() const;  // in lower case
  std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
  // Decimal with an optional sign; anything else (or out of 32-bit range) gives `def`.
  int readInteger(const std::string& section, const std::string& key, int def) const;

 private:
  std::map<std::string, std::map<std::string, std::string>> sections_;
};

bool parseInt32(const std::string& text, int& out);

// major.minor.release.build as two signed 32-bit words.
struct FileVersion {
  bool valid = false;
  int32_t hi = 0;  // major * 65536 + minor
  int32_t lo = 0;  // release * 65536 + build
};
// "," is the separator when the text holds one, "." otherwise; missing parts count as 0.
FileVersion parseVersion(const std::string& text);
FileVersion makeVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
std::string versionText(const FileVersion& v);  // "a.b.c.d"

// Dates and times of the control file.
struct DateSettings {
  std::string dateFormat = "dd/mm/yyyy";
  char dateSeparator = '/';
  std::string timeFormat = "hh:nn";
  char timeSeparator = ':';
};
bool parseDate(const std::string& text, const DateSettings& s, LocalTime& out);
bool parseTime(const std::string& text, const DateSettings& s, LocalTime& out);  // sets hour/minute/second
// date + time; a date that does not parse is 1 January 1980, a time that does not parse is ignored.
LocalTime controlMoment(const std::string& date, const std::string& time, const DateSettings& s);
int compareMoments(const LocalTime& a, const LocalTime& b);  // <0, 0, >0 (to the second)
std::string formatDayMonthYear(const LocalTime& t);          // "dd/mm/yyyy"
std::string formatHourMinute(const LocalTime& t);            // "hh:nn"

// Checksums of a file, read in blocks of 4096 bytes; an unreadable file counts as empty.
uint32_t sumChecksum(const std::string& bytes, uint32_t start = 0xFFFFFFFFu);
uint32_t crcVariantChecksumUpdate(const std::string& bytes, uint32_t running);
uint32_t fileChecksum(Files& files, const std::string& path, bool useCrc32);

// Folder of a path prefix, with its normalisation applied (see expandPrefixes).
std::string normalisePrefixFolder(std::string folder);
// Replaces every {NAME} left to right; `folderOf` gets NAME in upper case and returns the raw
// folder ("" for an unknown name). Replaced text is scanned again; the number of replacements
// is bounded so a folder that names itself cannot loop for ever.
std::string expandPrefixes(const std::string& text, const std::function<std::string(const std::string&)>& folderOf);

// File name from a URL: after the last "/", then the last "\", then the last "?".
std::string fileNameFromUrl(const std::string& url);

struct TFileDescription {
  std::string URL;
  std::string LocalVersion;
  std::string NewVersion;
  int NewSize = 0;
  int NewCheckSum = -1;
  std::string NewCustomVer;
  std::string NewDate;
  std::string NewTime;
  std::string Description;
  std::string TargetDir;
  bool Compressed = false;
  int FileSize = 0;
  bool Mandatory = false;
  bool Preselect = true;
  bool Hidden = false;
  bool Selected = false;
};

// The engine's file list: owns its items, with an active position.
class TFileList {
 public:
  std::vector<TFileDescription> items;
  int activeIndex = -1;
  void clear() { items.clear(); activeIndex = -1; }
  int count() const { return (int)items.size(); }
};

// The numbers N, 1 <= N <= count, ascending, for which a section "fileN" exists: a count that
// claims more sections than the file holds costs nothing.
std::vector<int> fileSectionNumbers(const IniText& ini, int count);
// Reads section "fileN" of `ini` (paths expanded through `expand`).
TFileDescription readFileEntry(const IniText& ini, int n, const std::function<std::string(const std::string&)>& expand);

}  // namespace tf
