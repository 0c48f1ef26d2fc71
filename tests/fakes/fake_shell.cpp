#include "tests/fakes/fake_shell.h"

namespace tf {

bool FakeShellLinks::save(const std::string& file, const ShellLink& link) {
  if (file.empty() || file.size() > kMaxLinkFileName) return false;
  std::string folder = FakeFiles::parentOf(file);
  for (const auto& f : failFolders)
    if (FakeFiles::key(f) == folder) return false;
  if (files_ && !files_->writeFile(file, "LNK " + link.target)) return false;
  saved.push_back({file, link});
  return true;
}

const ShellLink* FakeShellLinks::find(const std::string& file) const {
  for (auto it = saved.rbegin(); it != saved.rend(); ++it)
    if (FakeFiles::key(it->file) == FakeFiles::key(file)) return &it->link;
  return nullptr;
}

bool FakeShellLinks::load(const std::string& file, ShellLink& link) {
  const ShellLink* found = find(file);
  if (!found || (files_ && !files_->fileExists(file))) return false;
  link = *found;
  return true;
}

}  // namespace tf
