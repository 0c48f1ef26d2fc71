// Builds small cabinets in memory for the update engine's Wine tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tf {
namespace testcab {

inline void le16(std::string& s, unsigned v) {
  s += (char)(v & 255);
  s += (char)((v >> 8) & 255);
}
inline void le32(std::string& s, uint32_t v) {
  le16(s, v & 0xFFFF);
  le16(s, v >> 16);
}

struct CabEntry {
  std::string name, data;
  unsigned date = 0, time = 0;
};

// A one-folder cabinet with stored (uncompressed) data.
inline std::string makeCabinet(const std::vector<CabEntry>& entries) {
  std::string files, data;
  uint32_t offset = 0;
  for (const auto& e : entries) {
    le32(files, (uint32_t)e.data.size());
    le32(files, offset);
    le16(files, 0);
    le16(files, e.date);
    le16(files, e.time);
    le16(files, 0x20);
    files += e.name;
    files += '\0';
    data += e.data;
    offset += (uint32_t)e.data.size();
  }
  std::string block;
  le32(block, 0);  // no checksum
  le16(block, (unsigned)data.size());
  le16(block, (unsigned)data.size());
  block += data;
  const uint32_t header = 36, folder = 8;
  uint32_t filesAt = header + folder, dataAt = filesAt + (uint32_t)files.size();
  std::string cab = "MSCF";
  le32(cab, 0);
  le32(cab, dataAt + (uint32_t)block.size());
  le32(cab, 0);
  le32(cab, filesAt);
  le32(cab, 0);
  cab += (char)3;
  cab += (char)1;
  le16(cab, 1);
  le16(cab, (unsigned)entries.size());
  le16(cab, 0);
  le16(cab, 0x1234);
  le16(cab, 0);
  le32(cab, dataAt);
  le16(cab, 1);
  le16(cab, 0);  // stored
  return cab + files + block;
}

}  // namespace testcab
}  // namespace tf
