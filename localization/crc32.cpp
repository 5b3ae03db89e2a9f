#include "localization/crc32.h"

namespace {

constexpr uint32_t Polynomial = 0xEDB88320;

// Eight tables fold eight bytes per step: table k gives the CRC of a byte
// followed by k zero bytes.
struct Crc32Tables {
  uint32_t t[8][256];

  Crc32Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ Polynomial : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

// Built during static construction, before the entry point runs.
const Crc32Tables tables;

inline uint32_t UpdateByte(uint32_t crc, uint8_t b) {
  return (crc >> 8) ^ tables.t[0][(crc ^ b) & 0xFF];
}

inline uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  for (; count > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --count)
    crc = UpdateByte(crc, *p++);
  const auto& t = tables.t;
  for (; count >= 8; count -= 8, p += 8) {
    uint32_t low = Load32(p) ^ crc;
    uint32_t high = Load32(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; count > 0; --count) crc = UpdateByte(crc, *p++);
  return crc;
}
