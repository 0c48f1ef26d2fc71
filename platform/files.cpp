#include "platform/files.h"

namespace tf {

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

}  // namespace tf
