#include "paradox/format/blob.h"

#include "paradox/format/bytes.h"

namespace paradox {

namespace {

constexpr uint32_t kMbBlock = 4096;
constexpr uint32_t kGraphicPrefix = 8;

Status BadBlob(const std::string& why) { return Status::Error(ErrorCode::kCorruptBlob, why); }

Status StripGraphicPrefix(FieldType type, std::string* out) {
  if (type != FieldType::kGraphic) return Status::OK();
  if (out->size() < kGraphicPrefix) return BadBlob("graphic value shorter than its prefix");
  out->erase(0, kGraphicPrefix);
  return Status::OK();
}

}  // namespace

bool ReadLeaderBlob(FieldType type, const BlobRef& ref, std::string* out, Status* status) {
  *status = Status::OK();
  if (ref.length == 0) {
    out->clear();
    return true;
  }
  if (ref.mb_offset != 0) return false;
  if (ref.length > ref.leader_size) {
    *status = BadBlob("value longer than its leader but not in the blob file");
    return true;
  }
  out->assign(reinterpret_cast<const char*>(ref.leader), ref.length);
  *status = StripGraphicPrefix(type, out);
  return true;
}

Status BlobFile::Read(FieldType type, const BlobRef& ref, std::string* out) {
  Status st;
  if (ReadLeaderBlob(type, ref, out, &st)) return st;

  uint64_t size = 0;
  PX_RETURN_IF_ERROR(file_->Size(&size));
  uint64_t block = ref.mb_offset & ~0xFFu;
  uint32_t index = ref.mb_offset & 0xFFu;
  if (block == 0 || block + 12 > size) return BadBlob("blob pointer outside the blob file");

  uint8_t head[12];
  size_t got = 0;
  PX_RETURN_IF_ERROR(file_->Read(block, sizeof head, head, &got));
  if (got != sizeof head) return BadBlob("blob block cut short");

  uint64_t data_at = 0;
  if (index == 0xFF) {
    // A block of its own: type 2, size in 4K units, length, modification.
    if (head[0] != 2) return BadBlob("blob pointer to a block of the wrong kind");
    uint32_t units = LoadLE16(head + 1);
    uint32_t length = LoadLE32(head + 3);
    if (length != ref.length) return BadBlob("blob length differs from the record's");
    if (9ull + length > static_cast<uint64_t>(units) * kMbBlock) return BadBlob("blob longer than its block");
    data_at = block + 9;
  } else {
    // A shared block: type 3 with a table of 64 five-byte entries.
    if (head[0] != 3) return BadBlob("blob pointer to a block of the wrong kind");
    if (index >= 64) return BadBlob("blob entry number out of range");
    uint8_t entry[5];
    PX_RETURN_IF_ERROR(file_->Read(block + 12 + 5u * index, sizeof entry, entry, &got));
    if (got != sizeof entry) return BadBlob("blob block cut short");
    uint32_t offset = entry[0] * 16u;
    uint32_t units = entry[1];
    uint32_t last = entry[4];
    if (units == 0 || last == 0 || last > 16) return BadBlob("unused blob entry");
    uint32_t length = (units - 1) * 16 + last;
    if (length != ref.length) return BadBlob("blob length differs from the record's");
    if (offset < 12 + 5 * 64 || offset + length > kMbBlock) return BadBlob("blob entry outside its block");
    data_at = block + offset;
  }
  if (data_at + ref.length > size) return BadBlob("blob runs past the end of the blob file");
  out->resize(ref.length);
  PX_RETURN_IF_ERROR(file_->Read(data_at, ref.length, reinterpret_cast<uint8_t*>(out->data()), &got));
  if (got != ref.length) return BadBlob("blob cut short");
  return StripGraphicPrefix(type, out);
}

}  // namespace paradox
