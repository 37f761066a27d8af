// SHA-256 for comparing blob contents with the digests in the fixtures'
// expected files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  void Update(std::string_view s) { Update(s.data(), s.size()); }
  // The digest; the object must not be updated afterwards.
  std::array<uint8_t, 32> Finish();

 private:
  void Compress(const uint8_t* block);

  uint32_t state_[8];
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t total_ = 0;  // bytes hashed
};

// Lower-case hex digest of `data`.
std::string Sha256Hex(std::string_view data);

}  // namespace testsupport
