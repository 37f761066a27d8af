// Byte-order helpers. Control structures of the files are little-endian;
// field values inside records use the engine's "flipped big-endian" form
// (big-endian two's complement with the top bit of the first byte inverted).
#pragma once

#include <cstdint>
#include <cstring>

namespace paradox {

inline uint16_t LoadLE16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t LoadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline bool AllZero(const uint8_t* p, size_t n) {
  // The common widths in one load each: every row reads several of them.
  uint64_t v8 = 0;
  uint32_t v4 = 0;
  uint16_t v2 = 0;
  switch (n) {
    case 2: std::memcpy(&v2, p, 2); return v2 == 0;
    case 4: std::memcpy(&v4, p, 4); return v4 == 0;
    case 8: std::memcpy(&v8, p, 8); return v8 == 0;
    default: break;
  }
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

// Decodes a flipped big-endian signed integer of `n` bytes (2 or 4).
inline int32_t DecodeFlippedInt(const uint8_t* p, size_t n) {
  uint32_t v = p[0] ^ 0x80u;
  for (size_t i = 1; i < n; ++i) v = (v << 8) | p[i];
  if (n == 2) return static_cast<int16_t>(static_cast<uint16_t>(v));
  return static_cast<int32_t>(v);
}

// Encodes `v` as a flipped big-endian integer of `n` bytes (2 or 4).
inline void EncodeFlippedInt(uint8_t* p, int32_t v, size_t n) {
  uint32_t u = static_cast<uint32_t>(v);
  for (size_t i = 0; i < n; ++i) p[n - 1 - i] = static_cast<uint8_t>(u >> (8 * i));
  p[0] ^= 0x80;
}

// Doubles: big-endian IEEE-754; non-negative values get the top bit set,
// negative ones have every bit inverted.
inline double DecodeFlippedDouble(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  if (v & 0x8000000000000000ull)
    v &= ~0x8000000000000000ull;
  else
    v = ~v;
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

inline void EncodeFlippedDouble(uint8_t* p, double d) {
  if (d == 0) d = 0;  // -0.0 is stored as +0.0
  uint64_t v;
  std::memcpy(&v, &d, sizeof v);
  if (v & 0x8000000000000000ull)
    v = ~v;
  else
    v |= 0x8000000000000000ull;
  for (int i = 7; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

}  // namespace paradox
