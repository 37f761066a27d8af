// Whole-file and header reads the editor shares between its units.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"

namespace paradox {

// All of an index file (at most 64 MB: more is no index the engine wrote).
inline Status ReadWhole(File* f, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  PX_RETURN_IF_ERROR(f->Size(&size));
  if (size > (64u << 20)) return Status::Error(ErrorCode::kCorruptIndex, "index file too large");
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  PX_RETURN_IF_ERROR(f->Read(0, out->size(), out->data(), &got));
  out->resize(got);
  return Status::OK();
}

// The start of a table file (up to 64 KB, where its header lies) and the
// file's length.
inline Status ReadHead(File* f, std::vector<uint8_t>* head, uint64_t* size) {
  PX_RETURN_IF_ERROR(f->Size(size));
  head->resize(static_cast<size_t>(std::min<uint64_t>(*size, 65536)));
  size_t got = 0;
  PX_RETURN_IF_ERROR(f->Read(0, head->size(), head->data(), &got));
  head->resize(got);
  return Status::OK();
}

}  // namespace paradox
