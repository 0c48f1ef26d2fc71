#include "zip/entry_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/texto.h"
#include "platform/error.h"

namespace tf {

namespace {

const uint32_t kLocalHeaderSig = 0x04034b50;
const size_t kLocalSize = 30;
const size_t kInSize = 128 * 1024, kOutSize = 256 * 1024;

uint16_t le16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t le32(const unsigned char* p) { return (uint32_t)le16(p) | ((uint32_t)le16(p + 2) << 16); }

}  // namespace

std::string zipEntryError(const std::string& archive, const ZipEntry& e, const std::string& what) {
  return "Error al extraer \"" + e.name + "\" del archivo \"" + archive + "\": " + what;
}

EntryWriter::EntryWriter(const ZipSource& source, InputFile& input, ZipWork& work)
    : source_(source), input_(input), work_(work), in_(kInSize), out_(kOutSize) {}

void EntryWriter::fail(const ZipEntry& e, const std::string& what) const {
  throw Error(zipEntryError(source_.archive, e, what));
}

void EntryWriter::write(const ZipTarget& t) {
  if (t.entry->isFolder) {
    ensureFolder(t.path, *t.entry);
  } else {
    ensureFolder(extraerDirectorio(t.path), *t.entry);
    writeFile(*t.entry, t.path);
  }
  work_.advance(1);
}

void EntryWriter::ensureFolder(const std::string& folder, const ZipEntry& e) {
  if (folder.empty() || std::find(madeFolders_.begin(), madeFolders_.end(), folder) != madeFolders_.end()) return;
  Files& files = *source_.files;
  if (source_.createFolders) {
    if (!files.createFolders(folder)) fail(e, "no se pudo crear el directorio \"" + folder + "\"");
  } else if (!files.folderExists(folder)) {
    fail(e, "no existe el directorio \"" + folder + "\"");
  }
  // Few distinct folders per call; keep the most recent first.
  madeFolders_.insert(madeFolders_.begin(), folder);
  if (madeFolders_.size() > 64) madeFolders_.pop_back();
}

void EntryWriter::readAt(uint64_t offset, void* data, size_t n, const ZipEntry& e) {
  if (offset > source_.size || n > source_.size - offset) fail(e, kZipIncomplete);
  if (!input_.seek(offset)) fail(e, "error de lectura");
  unsigned char* p = static_cast<unsigned char*>(data);
  while (n > 0) {
    long long got = input_.read(p, n);
    if (got < 0) fail(e, "error de lectura");
    if (got == 0) fail(e, kZipIncomplete);
    p += got;
    n -= (size_t)got;
  }
}

// Fills the input buffer with the next part of the entry's data; reports it as done.
size_t EntryWriter::readChunk(const ZipEntry& e, uint64_t& left) {
  if (work_.stopping()) throw ZipStopped{};
  size_t want = (size_t)std::min<uint64_t>(left, in_.size());
  size_t got = 0;
  while (got < want) {
    long long n = input_.read(in_.data() + got, want - got);
    if (n < 0) fail(e, "error de lectura");
    if (n == 0) fail(e, kZipIncomplete);
    got += (size_t)n;
  }
  left -= got;
  work_.advance(got);
  return got;
}

void EntryWriter::writeFile(const ZipEntry& e, const std::string& path) {
  unsigned char lh[kLocalSize];
  uint64_t at = e.localHeaderOffset + source_.bias;
  readAt(at, lh, kLocalSize, e);
  if (le32(lh) != kLocalHeaderSig) fail(e, "la cabecera local de la entrada está dañada");
  uint64_t dataStart = at + kLocalSize + le16(lh + 26) + le16(lh + 28);
  if (dataStart > source_.directoryStart || e.compressedSize > source_.directoryStart - dataStart)
    fail(e, kZipIncomplete);
  if (!input_.seek(dataStart)) fail(e, "error de lectura");

  Files& files = *source_.files;
  std::string temp = path + ".tfz~";
  std::unique_ptr<OutputFile> out = files.createFile(temp);
  if (!out) fail(e, "no se pudo escribir el fichero \"" + path + "\"");
  z_stream z;
  std::memset(&z, 0, sizeof z);
  bool inflating = false;
  try {
    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = e.compressedSize, produced = 0;
    auto emit = [&](const unsigned char* p, size_t n) {
      if (n > e.size - produced) fail(e, "los datos descomprimidos superan el tamaño declarado");
      produced += n;
      crc = crc32(crc, p, (uInt)n);
      if (!out->write(p, n)) fail(e, "no se pudo escribir el fichero \"" + path + "\"");
    };

    if (e.method == 0) {
      while (left > 0) {
        size_t n = readChunk(e, left);
        emit(in_.data(), n);
      }
    } else {
      if (inflateInit2(&z, -MAX_WBITS) != Z_OK) fail(e, "no hay memoria suficiente");
      inflating = true;
      for (;;) {
        if (z.avail_in == 0 && left > 0) {
          z.avail_in = (uInt)readChunk(e, left);
          z.next_in = in_.data();
        } else if (work_.stopping()) {
          throw ZipStopped{};  // a small input can inflate for long
        }
        z.next_out = out_.data();
        z.avail_out = (uInt)out_.size();
        int rc = inflate(&z, Z_NO_FLUSH);
        size_t n = out_.size() - z.avail_out;
        if (n) emit(out_.data(), n);
        if (rc == Z_STREAM_END) break;
        if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) fail(e, kZipIncomplete);
        if (rc != Z_OK && rc != Z_BUF_ERROR) fail(e, "los datos comprimidos están dañados");
      }
      inflateEnd(&z);
      inflating = false;
    }
    if (!out->close()) fail(e, "no se pudo escribir el fichero \"" + path + "\"");
    if (produced != e.size) fail(e, "el tamaño descomprimido no coincide con el declarado");
    if ((uint32_t)crc != e.crc) fail(e, "el CRC-32 no coincide, los datos están dañados");
    out.reset();
    if (!files.moveFile(temp, path, true)) {
      // A read-only file is replaced too, as an installer expects.
      bool moved = files.fileExists(path) && files.clearReadOnlyAndHidden(path) && files.moveFile(temp, path, true);
      if (!moved) fail(e, "no se pudo reemplazar el fichero \"" + path + "\"; puede estar en uso");
    }
  } catch (...) {
    if (inflating) inflateEnd(&z);
    if (out) out->close();
    out.reset();
    files.deleteFile(temp);
    throw;
  }
}

}  // namespace tf
