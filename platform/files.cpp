#include "platform/files.h"

namespace tf {

bool isPlainEntryName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|')
      return false;
  return true;
}

bool Files::readFile(const std::string& path, std::string& out) {
  out.clear();
  auto in = openRead(path);
  if (!in) return false;
  char buf[65536];
  for (;;) {
    long long n = in->read(buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, (size_t)n);
  }
}

bool Files::writeFile(const std::string& path, const std::string& data) {
  auto f = createFile(path);
  if (!f) return false;
  bool ok = f->write(data.data(), data.size());
  return f->close() && ok;
}

FileDeletion Files::deleteFileTellingWhy(const std::string& path) {
  return deleteFile(path) ? FileDeletion::Deleted : FileDeletion::Failed;
}

bool Files::deleteAtRestart(const std::string&) { return false; }

}  // namespace tf
