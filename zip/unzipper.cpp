#include "zip/unzipper.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/texto.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "zip/entry_writer.h"
#include "zip/extraction.h"

namespace tf {

namespace {

const uint32_t kCentralHeaderSig = 0x02014b50;
const uint32_t kEndSig = 0x06054b50;
const uint32_t kEnd64Sig = 0x06064b50;
const uint32_t kEnd64LocatorSig = 0x07064b50;
const size_t kEndSize = 22, kEnd64Size = 56, kLocatorSize = 20, kCentralSize = 46;
const size_t kInSize = 128 * 1024;

uint16_t le16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) { return (uint32_t)le16(p) | ((uint32_t)le16(p + 2) << 16); }
uint64_t le64(const unsigned char* p) { return (uint64_t)le32(p) | ((uint64_t)le32(p + 4) << 32); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// "*" any run, "?" one character; both strings already upper case.
bool wildcard(const char* m, const char* s) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*s) {
    if (*m == '*') {
      star = m++;
      resume = s;
    } else if (*m == '?' || *m == *s) {
      ++m;
      ++s;
    } else if (star) {
      m = star + 1;
      s = ++resume;
    } else {
      return false;
    }
  }
  while (*m == '*') ++m;
  return *m == 0;
}

std::vector<std::string> splitPath(const std::string& name) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : name) {
    if (isSeparator(c)) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

// A name Windows cannot hold as a file or folder name, or one it would read as something else
// (a device, a stream); "." and ".." are handled by the caller.
bool validComponent(const std::string& c) {
  if (c.empty() || c.back() == '.' || c.back() == ' ') return false;
  for (unsigned char ch : c)
    if (ch < 0x20 || std::strchr("<>:\"|?*", ch)) return false;
  return !esNombreDeDispositivo(c);
}

// Reads a file region front to back through a buffer.
class Reader {
 public:
  Reader(InputFile& in, std::vector<unsigned char>& buf, uint64_t start, uint64_t length)
      : in_(in), buf_(buf), left_(length) {
    ok_ = in_.seek(start);
  }
  bool get(void* out, size_t n) {
    unsigned char* p = static_cast<unsigned char*>(out);
    while (n > 0) {
      if (pos_ == end_) {
        if (!ok_ || left_ == 0) return false;
        size_t want = (size_t)std::min<uint64_t>(left_, buf_.size());
        long long got = in_.read(buf_.data(), want);
        if (got <= 0) return ok_ = false;
        pos_ = 0;
        end_ = (size_t)got;
        left_ -= (uint64_t)got;
      }
      size_t k = std::min(n, end_ - pos_);
      if (p) std::memcpy(p, buf_.data() + pos_, k), p += k;
      pos_ += k;
      n -= k;
    }
    return true;
  }
  bool getString(std::string& s, size_t n) {
    s.resize(n);
    return n == 0 || get(&s[0], n);
  }

 private:
  InputFile& in_;
  std::vector<unsigned char>& buf_;
  uint64_t left_;
  size_t pos_ = 0, end_ = 0;
  bool ok_;
};

const char* const kErrDirectorio = "el directorio central está dañado";

}  // namespace

bool zipMaskMatches(const std::string& mask, const std::string& name) {
  if (mask == "*.*" || mask == "*") return true;
  std::string m = mayusculas(mask), s = mayusculas(name);
  std::replace(m.begin(), m.end(), '/', '\\');
  std::replace(s.begin(), s.end(), '/', '\\');
  while (!s.empty() && s.back() == '\\') s.pop_back();
  if (m.find('\\') == std::string::npos) s = s.substr(s.find_last_of('\\') + 1);
  return wildcard(m.c_str(), s.c_str());
}

UnZipper::UnZipper(Files& files) : files_(files) {}

UnZipper::~UnZipper() { close(); }

void UnZipper::close() {
  // The progress handler pumps window messages and may get here mid-extraction: the archive
  // is then closed when extractFiles returns.
  if (extracting_) {
    closePending_ = true;
    return;
  }
  input_.reset();
  entries_.clear();
  fileName_.clear();
}

void UnZipper::fail(const std::string& what, const ZipEntry* e) const {
  if (e) throw Error(zipEntryError(fileName_, *e, what));
  throw Error("Error al abrir el archivo \"" + fileName_ + "\": " + what);
}

void UnZipper::open(const std::string& fileName) {
  if (extracting_) throw Error("Error al abrir el archivo \"" + fileName + "\": hay una extracción en curso");
  close();
  fileName_ = fileName;
  input_ = files_.openRead(fileName);
  if (!input_) fail("no se encuentra o no se puede leer", nullptr);
  try {
    readDirectory();
  } catch (...) {
    input_.reset();
    entries_.clear();
    throw;
  }
}

void UnZipper::readAt(uint64_t offset, void* data, size_t n, const ZipEntry* e) {
  if (offset > archiveSize_ || n > archiveSize_ - offset) fail(kZipIncomplete, e);
  if (!input_->seek(offset)) fail("error de lectura", e);
  unsigned char* p = static_cast<unsigned char*>(data);
  while (n > 0) {
    long long got = input_->read(p, n);
    if (got < 0) fail("error de lectura", e);
    if (got == 0) fail(kZipIncomplete, e);
    p += got;
    n -= (size_t)got;
  }
}

void UnZipper::readDirectory() {
  archiveSize_ = input_->size();
  const char* notZip = "no es un archivo ZIP o está incompleto";
  if (archiveSize_ < kEndSize) fail(notZip, nullptr);

  // The end record sits in the last 22 bytes plus a comment of up to 64 KiB; the ZIP64
  // locator comes right before it.
  size_t tail = (size_t)std::min<uint64_t>(archiveSize_, kEndSize + 0xFFFF + kLocatorSize);
  std::vector<unsigned char> t(tail);
  readAt(archiveSize_ - tail, t.data(), tail, nullptr);
  long found = -1;
  for (int strict = 1; strict >= 0 && found < 0; --strict) {
    for (long p = (long)(tail - kEndSize); p >= 0; --p) {
      if (le32(&t[p]) != kEndSig) continue;
      size_t end = (size_t)p + kEndSize + le16(&t[p + 20]);
      if (strict ? end == tail : end <= tail) {
        found = p;
        break;
      }
    }
  }
  if (found < 0) fail(notZip, nullptr);
  const unsigned char* r = &t[found];
  uint64_t endPos = archiveSize_ - tail + (uint64_t)found;
  uint32_t disk = le16(r + 4), cdDisk = le16(r + 6);
  uint64_t onDisk = le16(r + 8), total = le16(r + 10), cdSize = le32(r + 12), cdOffset = le32(r + 16);
  uint64_t cdEnd = endPos;
  bool zip64 = false;

  if (found >= (long)kLocatorSize && le32(&t[found - kLocatorSize]) == kEnd64LocatorSig) {
    const unsigned char* loc = &t[found - kLocatorSize];
    uint64_t at = le64(loc + 8);
    uint64_t expected = endPos - kLocatorSize - kEnd64Size;  // when the record has no extra data
    unsigned char z[kEnd64Size];
    bool ok = at + kEnd64Size <= endPos;
    if (ok) {
      readAt(at, z, kEnd64Size, nullptr);
      ok = le32(z) == kEnd64Sig;
    }
    if (!ok && endPos >= kLocatorSize + kEnd64Size) {
      at = expected;
      readAt(at, z, kEnd64Size, nullptr);
      ok = le32(z) == kEnd64Sig;
    }
    if (!ok) fail(kErrDirectorio, nullptr);
    zip64 = true;
    disk = le32(z + 16);
    cdDisk = le32(z + 20);
    onDisk = le64(z + 24);
    total = le64(z + 32);
    cdSize = le64(z + 40);
    cdOffset = le64(z + 48);
    cdEnd = at;
    if (le32(loc + 4) != 0 || le32(loc + 16) > 1) disk = 1;
  }
  if (disk != 0 || cdDisk != 0 || onDisk != total)
    fail("los archivos ZIP de varios volúmenes no están soportados", nullptr);
  if (cdSize > cdEnd || cdOffset > cdEnd - cdSize) fail(kErrDirectorio, nullptr);
  // Bytes before the archive proper (a self-extracting stub) shift every offset.
  bias_ = cdEnd - cdSize - cdOffset;
  directoryStart_ = cdOffset + bias_;

  std::vector<unsigned char> buffer(kInSize);
  Reader in(*input_, buffer, directoryStart_, cdSize);
  uint64_t used = 0, count = 0;
  std::vector<unsigned char> h(kCentralSize);
  std::string rawName, extra, skip;
  while (used < cdSize) {
    if (cdSize - used < kCentralSize || !in.get(h.data(), kCentralSize) || le32(h.data()) != kCentralHeaderSig)
      fail(kErrDirectorio, nullptr);
    size_t nameLen = le16(&h[28]), extraLen = le16(&h[30]), commentLen = le16(&h[32]);
    used += kCentralSize + nameLen + extraLen + commentLen;
    if (used > cdSize || !in.getString(rawName, nameLen) || !in.getString(extra, extraLen) ||
        !in.get(nullptr, commentLen))
      fail(kErrDirectorio, nullptr);

    ZipEntry e;
    uint16_t madeBy = le16(&h[4]);
    e.flags = le16(&h[8]);
    e.method = le16(&h[10]);
    e.crc = le32(&h[16]);
    e.compressedSize = le32(&h[20]);
    e.size = le32(&h[24]);
    uint32_t startDisk = le16(&h[34]);
    uint32_t externalAttrs = le32(&h[38]);
    e.localHeaderOffset = le32(&h[42]);

    std::string unicodeName;
    bool unicodeOk = false;
    for (size_t p = 0; p + 4 <= extra.size();) {
      const unsigned char* x = reinterpret_cast<const unsigned char*>(extra.data()) + p;
      uint16_t id = le16(x), len = le16(x + 2);
      if (p + 4 + len > extra.size()) break;
      const unsigned char* d = x + 4;
      if (id == 0x0001) {
        // ZIP64: only the fields whose 32-bit values are saturated, in this order.
        size_t k = 0;
        auto take = [&](uint64_t& v) {
          if (k + 8 > len) fail(kErrDirectorio, nullptr);
          v = le64(d + k);
          k += 8;
        };
        if (e.size == 0xFFFFFFFF) take(e.size);
        if (e.compressedSize == 0xFFFFFFFF) take(e.compressedSize);
        if (e.localHeaderOffset == 0xFFFFFFFF) take(e.localHeaderOffset);
        if (startDisk == 0xFFFF && k + 4 <= len) startDisk = le32(d + k);
      } else if (id == 0x7075 && len >= 5 && d[0] == 1) {
        uint32_t nameCrc = (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(rawName.data()), (uInt)rawName.size());
        if (le32(d + 1) == nameCrc) {
          unicodeName.assign(reinterpret_cast<const char*>(d + 5), len - 5);
          unicodeOk = true;
        }
      }
      p += 4 + len;
    }
    if (startDisk != 0 && startDisk != 0xFFFF) fail("los archivos ZIP de varios volúmenes no están soportados", nullptr);

    int host = madeBy >> 8;
    if (e.flags & 0x0800)
      e.name = cp1252FromUtf8(rawName);
    else if (unicodeOk)
      e.name = cp1252FromUtf8(unicodeName);
    else if ((host == 3 || host == 19) && isValidUtf8(rawName))
      e.name = cp1252FromUtf8(rawName);
    else
      e.name = cp1252FromCp437(rawName);
    bool dosHost = host == 0 || host == 10 || host == 11 || host == 14;
    e.isFolder = (!e.name.empty() && isSeparator(e.name.back())) ||
                 (dosHost && (externalAttrs & 0x10) && e.size == 0 && e.compressedSize == 0);

    // Every entry must lie before the directory: this bounds the sizes that progress adds up.
    if (e.localHeaderOffset > cdOffset || e.compressedSize > cdOffset - e.localHeaderOffset)
      fail(kErrDirectorio, nullptr);
    entries_.push_back(std::move(e));
    ++count;
  }
  // Without ZIP64 the count field keeps only its low 16 bits.
  if (zip64 ? count != total : (count & 0xFFFF) != total) fail(kErrDirectorio, nullptr);
}

void UnZipper::progress(uint64_t done, uint64_t total) {
  int percent = zipPercent(done, total);
  if (percent <= lastPercent_) return;
  lastPercent_ = percent;
  if (onArchiveProgress) onArchiveProgress(percent);
}

int UnZipper::extractFiles(const std::string& mask) {
  if (!input_) throw Error("Error al extraer: no hay ningún archivo comprimido abierto");
  if (extracting_) throw Error("Error al extraer del archivo \"" + fileName_ + "\": hay una extracción en curso");
  std::string base = baseDirectory.empty() ? files_.currentFolder() : baseDirectory;
  while (base.size() > 1 && isSeparator(base.back()) && !(base.size() == 3 && base[1] == ':')) base.pop_back();

  // First every target is worked out and checked, so a hostile or unreadable entry stops the
  // call before anything is written.
  std::vector<ZipTarget> targets;
  for (const ZipEntry& e : entries_) {
    if (!zipMaskMatches(mask, e.name)) continue;
    std::vector<std::string> parts = splitPath(e.name);
    std::vector<std::string> keep;
    const char* unsafe =
        "la ruta guardada sale del directorio base (ruta absoluta, con unidad o con \"..\"); no se ha extraído nada";
    const char* invalid = "el nombre no es válido en Windows; no se ha extraído nada";
    if (restoreStoredPaths) {
      if (isSeparator(e.name[0]) || e.name.find(':') != std::string::npos) fail(unsafe, &e);
      for (const std::string& p : parts) {
        if (p.empty() || p == ".") continue;
        if (p == "..") fail(unsafe, &e);
        if (!validComponent(p)) fail(invalid, &e);
        keep.push_back(p);
      }
    } else {
      if (e.isFolder) continue;
      const std::string& last = parts.back();
      if (last == "..") fail(unsafe, &e);
      if (!last.empty() && last != ".") {
        if (!validComponent(last)) fail(invalid, &e);
        keep.push_back(last);
      }
    }
    if (e.isFolder) {
      if (keep.empty() || !createFolders) continue;
    } else {
      if (keep.empty() || isSeparator(e.name.back()) || parts.back() == ".") fail(invalid, &e);
      if (e.flags & 0x0041) fail("la entrada está cifrada y no se puede extraer", &e);
      if (e.method != 0 && e.method != 8)
        fail("método de compresión no soportado (" + std::to_string(e.method) + ")", &e);
    }
    std::string path = base;
    for (const std::string& k : keep) path = unirRuta(path, k);
    targets.push_back({&e, path});
  }

  // Then worker threads write them; this thread reports progress, which pumps the window.
  ZipSource source;
  source.files = &files_;
  source.archive = fileName_;
  source.size = archiveSize_;
  source.bias = bias_;
  source.directoryStart = directoryStart_;
  source.createFolders = createFolders;
  Extraction extraction(source, targets, threads);
  lastPercent_ = -1;
  extracting_ = true;
  closePending_ = false;
  try {
    progress(0, extraction.total() + 1);
    extraction.run(*input_, [this](uint64_t done, uint64_t total) { progress(done, total); });
    progress(extraction.total(), extraction.total());
  } catch (...) {
    extracting_ = false;
    if (closePending_) close();
    throw;
  }
  extracting_ = false;
  if (closePending_) close();
  return (int)targets.size();
}

}  // namespace tf
