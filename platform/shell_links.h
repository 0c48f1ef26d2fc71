// Shell link port: ".lnk" shortcut files, written by the installer, read back by the uninstaller
// and the tests. Texts are Windows-1252.
#pragma once
#include <cstdint>
#include <string>

namespace tf {

struct ShellLink {
  std::string target;         // the program the link starts; it need not exist
  std::string description;
  std::string workingFolder;  // stored as given, a trailing "\" included
  std::string arguments;
  std::string iconFile;
  int iconIndex = 0;
  uint16_t hotKey = 0;        // 0: none is set
  int showCommand = 1;        // the window show state stored in the link (1 normal, 3 maximised, 7 minimised)
};

// Longest link file name the shell link object is given (its buffer holds 260 with the zero).
constexpr size_t kMaxLinkFileName = 259;

class ShellLinks {
 public:
  virtual ~ShellLinks() = default;
  // Writes `link` to `file`, replacing a file of that name; true when it was saved. A name
  // longer than kMaxLinkFileName is refused (false) without touching the disk.
  virtual bool save(const std::string& file, const ShellLink& link) = 0;
  // Reads an existing link; false when `file` cannot be loaded as one.
  virtual bool load(const std::string& file, ShellLink& link) = 0;
};

}  // namespace tf
